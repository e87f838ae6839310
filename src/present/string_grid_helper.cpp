#include "present/string_grid_helper.hpp"

#include "support/errors.hpp"

namespace tarnwick {

TDataViewFormHeader TStringGridHelper::GetHeader(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= columns_.size()) {
    return {};
  }
  return columns_[static_cast<size_t>(Index)];
}

std::string TStringGridHelper::GetCellText(int ACol, int ARow) const {
  std::string text = "?";
  if (ACol < 0 || ACol >= GetColCount()) {
    return text;
  }
  if (ARow == 0) {
    return GetHeader(ACol).Caption;
  }
  try {
    GetDataText(ACol, ARow - 1, text);
  } catch (const Error& e) {
    text = e.what();
  }
  return text;
}

CellSortKey TStringGridHelper::GetSortKey(int ACol, int Index) const {
  return CellSortKey::Text(GetCellText(ACol, Index + 1));
}

CellSortKey TStringGridHelper::TimeSortKey(DateTime Utc) {
  return CellSortKey::Numbers({static_cast<double>(DateTimeToMilliseconds(Utc))});
}

void TStringGridHelper::SetZone(const TimeZone& Zone) {
  zone_ = Zone;
  if (onDataChanged_) {
    onDataChanged_();
  }
}

std::string TStringGridHelper::TimeText(DateTime Utc) const {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", zone_.FromUtc(Utc));
}

void TStringGridHelper::SetDataCount(int N) {
  dataCount_ = N < 0 ? 0 : N;
  if (onDataChanged_) {
    onDataChanged_();
  }
}

} // namespace tarnwick
