#include "logger/point_list.hpp"

#include "logger/points_gt100.hpp"
#include "logger/points_gt800.hpp"
#include "support/errors.hpp"

namespace tarnwick {

void ListIndexError(int Index) {
  throw ListError("List index out of bounds (" + std::to_string(Index) + ")");
}

std::unique_ptr<TIGotUPointList> TIGotUPointList::CreatePoints(const RModelResult& Model) {
  if (Model.ModelType() == kModelTypeGT800) {
    return std::make_unique<TIGotUPointList800>();
  }
  return std::make_unique<TIGotUPointList>();
}

PointPtr TIGotUPointList::CreateTrackPoint(PRIGotUPointSlot Ptr) {
  return MakePoint<TIGotUTrackPoint100>(Ptr);
}

PointPtr TIGotUPointList::CreateSlotPoint(PRIGotUPointSlot Ptr) {
  if (TIGotUPointBase::GetFlagsOfPtr(Ptr) == kFlagLogMessage) {
    return MakePoint<TIGotULogMsgPoint>(Ptr);
  }
  return CreateTrackPoint(Ptr);
}

void TIGotUPointList::AddPointsFromData(const uint8_t* Buffer, int Count) {
  const int n = Count > 0 ? Count / kSlotSize : 0;
  items_.reserve(items_.size() + static_cast<size_t>(n));
  arena_.Reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    items_.push_back(CreateSlotPoint(Buffer + static_cast<size_t>(i) * kSlotSize));
  }
}

void TIGotUPointList::ApplyYearEra(const YearEra& Era) {
  for (auto& item : items_) {
    item->SetYearBase(Era.YearBase(*item));
  }
}

void TIGotUPointList::Add(PointPtr Point) {
  items_.push_back(std::move(Point));
}

void TIGotUPointList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  items_.erase(items_.begin() + Index);
}

const TIGotUPointBase& TIGotUPointList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  return *items_[static_cast<size_t>(Index)];
}

} // namespace tarnwick
