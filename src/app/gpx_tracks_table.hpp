#pragma once

#include "analysis/track_series.hpp"
#include "present/string_grid_helper.hpp"

#include <vector>

namespace tarnwick::app {

/// The tracks of a GPX file as the tracks table shows them: number, name, first and last
/// point's time on the table's clock, duration and point count. A table of series rather than
/// of logger tracks, so it lives above the analysis layer.
class GpxTracksTable : public TStringGridHelper {
 public:
  explicit GpxTracksTable(char DecimalSeparator = '.');

  void GetDataText(int ACol, int Index, std::string& Text) const override;
  CellSortKey GetSortKey(int ACol, int Index) const override;

  /// Shows Tracks (null: none), which must outlive the table or be replaced first.
  void SetTracks(const std::vector<TrackSeries>* Tracks);

 private:
  /// Track Index with its first and last time, or null when it has no timed point.
  const TrackSeries* Timed(int Index) const;

  const std::vector<TrackSeries>* tracks_ = nullptr;
};

} // namespace tarnwick::app
