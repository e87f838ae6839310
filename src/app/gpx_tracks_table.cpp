#include "app/gpx_tracks_table.hpp"

#include "support/date_time.hpp"
#include "support/number_format.hpp"

namespace tarnwick::app {

namespace {

constexpr auto kLeft = CellAlignment::Left;
constexpr auto kRight = CellAlignment::Right;
constexpr auto kCenter = CellAlignment::Center;

const TDataViewFormHeader kColumns[] = {
    {"#", kRight, 20, "Number of the track, in the order of the file", "999"},
    {"Name", kLeft, 120, "The track's name in the file", "Morning ride"},
    {"Start", kCenter, 120, "Time of the track's first point", "2015-06-07 12:34:56"},
    {"End", kCenter, 120, "Time of the track's last point", "2015-06-07 12:34:56"},
    {"TimeLen", kRight, 60, "Duration of the track from its first to its last point in h:m:s.ms",
     "01:02:03.000"},
    {"Count", kRight, 50, "Number of track points", "12345"},
};

DateTime DateTimeOfUnixMs(int64_t Ms) {
  return EncodeDate(1970, 1, 1) + static_cast<double>(Ms) / 86'400'000.0;
}

} // namespace

GpxTracksTable::GpxTracksTable(char DecimalSeparator)
    : TStringGridHelper(kColumns, DecimalSeparator) {}

void GpxTracksTable::SetTracks(const std::vector<TrackSeries>* Tracks) {
  tracks_ = Tracks;
  SetDataCount(Tracks != nullptr ? static_cast<int>(Tracks->size()) : 0);
}

const TrackSeries* GpxTracksTable::Timed(int Index) const {
  const TrackSeries& t = (*tracks_)[static_cast<size_t>(Index)];
  // A point without a time reads 0: such a track has no start or end to show.
  return !t.Empty() && t.TimeMs.front() != 0 && t.TimeMs.back() != 0 ? &t : nullptr;
}

void GpxTracksTable::GetDataText(int ACol, int Index, std::string& Text) const {
  if (tracks_ == nullptr || Index < 0 || static_cast<size_t>(Index) >= tracks_->size()) {
    return;
  }
  const TrackSeries& t = (*tracks_)[static_cast<size_t>(Index)];
  const TrackSeries* timed = Timed(Index);
  if (timed == nullptr && ACol >= 2 && ACol <= 4) {
    return; // no time to show: "?"
  }
  std::string s;
  switch (ACol) {
  case 0:
    AppendInt(s, Index + 1);
    break;
  case 1:
    s = t.Name;
    break;
  case 2:
    s = TimeText(DateTimeOfUnixMs(timed->TimeMs.front()));
    break;
  case 3:
    s = TimeText(DateTimeOfUnixMs(timed->TimeMs.back()));
    break;
  case 4:
    s = TUTCDateTime::DoubleToTimeStr(
        static_cast<double>(timed->TimeMs.back() - timed->TimeMs.front()) / 1000.0);
    break;
  case 5:
    AppendInt(s, static_cast<long long>(t.Size()));
    break;
  default:
    return;
  }
  Text = std::move(s);
}

CellSortKey GpxTracksTable::GetSortKey(int ACol, int Index) const {
  if (tracks_ == nullptr || Index < 0 || static_cast<size_t>(Index) >= tracks_->size()) {
    return {};
  }
  const TrackSeries& t = (*tracks_)[static_cast<size_t>(Index)];
  const TrackSeries* timed = Timed(Index);
  const auto number = [](auto N) { return CellSortKey::Numbers({static_cast<double>(N)}); };
  switch (ACol) {
  case 0:
    return number(Index + 1);
  case 2:
    return timed != nullptr ? number(timed->TimeMs.front()) : CellSortKey{};
  case 3:
    return timed != nullptr ? number(timed->TimeMs.back()) : CellSortKey{};
  case 4:
    return timed != nullptr ? number(timed->TimeMs.back() - timed->TimeMs.front()) : CellSortKey{};
  case 5:
    return number(t.Size());
  default:
    return TStringGridHelper::GetSortKey(ACol, Index);
  }
}

} // namespace tarnwick::app
