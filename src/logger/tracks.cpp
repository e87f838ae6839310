#include "logger/tracks.hpp"

#include "support/errors.hpp"

#include <cstdlib>

namespace tarnwick {

void TIGotUTrack::AddTrackPoint(const TIGotUTrackPoint* Point) {
  FPoints.push_back(Point);
  if (Point->IsWayPoint()) {
    FWayPoints.push_back(Point);
  }
}

void TIGotUTrack::AddExtPoint(const TIGotUExtPoint* Point) {
  switch (Point->EptType()) {
  case TEptType::eptHR:
    if (const auto* p = dynamic_cast<const TIGotUExtIntPoint*>(Point)) {
      FHR.push_back(p);
    }
    break;
  case TEptType::eptCadence:
    if (const auto* p = dynamic_cast<const TIGotUExtIntPoint*>(Point)) {
      FCadence.push_back(p);
    }
    break;
  case TEptType::eptSpeed:
    if (const auto* p = dynamic_cast<const TIGotUExtDoublePoint*>(Point)) {
      FSpeed.push_back(p);
    }
    break;
  }
}

DateTime TIGotUTrack::StartTime() const {
  if (FPoints.empty()) {
    ListIndexError(0);
  }
  return FPoints.front()->Time();
}

DateTime TIGotUTrack::LastTime() const {
  if (FPoints.empty()) {
    ListIndexError(-1);
  }
  return FPoints.back()->Time();
}

int64_t TIGotUTrack::TimeLength() const {
  const int64_t first = DateTimeToMilliseconds(StartTime());
  const int64_t last = DateTimeToMilliseconds(LastTime());
  return std::llabs(last - first) / 1000;
}

TIGotUTrack& TIGotUTracks::AddNewTrack() {
  FTracks.push_back(std::make_unique<TIGotUTrack>());
  return *FTracks.back();
}

void TIGotUTracks::AddTracksFromPoints(const TIGotUPointList& Points) {
  TIGotUTrack* track = &AddNewTrack();
  for (const auto& item : Points) {
    const TIGotUPointBase& p = *item;
    // A marker cuts before the validity test, so an invalid record that marks a start cuts.
    if (p.IsTrackStart() && !track->IsVoid()) {
      track = &AddNewTrack();
    }
    if (!p.IsValidRecord()) {
      continue;
    }
    if (p.IsTrackPoint()) {
      if (const auto* tp = p.AsTrackPoint()) {
        track->AddTrackPoint(tp);
      }
    } else if (const auto* ext = p.AsExtPoint()) {
      track->AddExtPoint(ext);
    }
  }
  if (track->IsVoid()) {
    FTracks.pop_back();
  }
}

void TIGotUTracks::Delete(int Index) {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  FTracks.erase(FTracks.begin() + Index);
}

const TIGotUTrack& TIGotUTracks::Items(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  return *FTracks[static_cast<size_t>(Index)];
}

void TIGotULogMsgPoints::AddPoints(const TIGotUPointList& Points) {
  for (const auto& item : Points) {
    if (const auto* msg = item->AsLogMsgPoint()) {
      items_.push_back(msg);
    }
  }
}

TIGotUPoints::TIGotUPoints(const RModelResult& Model, const TIGotUSlotBlocks* Data,
                           const YearEra& Era)
    : FPoints(TIGotUPointList::CreatePoints(Model)) {
  if (Data != nullptr && Data->NumberOfBytes() > 0) {
    FPoints->AddPointsFromData(Data->DataBuffer(), static_cast<int>(Data->NumberOfBytes()));
  }
  SetYearEra(Era);
  FTracks.AddTracksFromPoints(*FPoints);
  FDebugPoints.AddPoints(*FPoints);
}

void TIGotUPoints::SetYearEra(const YearEra& Era) {
  era_ = Era;
  // Records are made as recorded; a full memory is not walked again for nothing.
  if (!Era.IsRecorded() || !recordsAsRecorded_) {
    FPoints->ApplyYearEra(Era);
    recordsAsRecorded_ = Era.IsRecorded();
  }
}

} // namespace tarnwick
