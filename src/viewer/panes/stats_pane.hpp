#pragma once

#include "analysis/track_stats.hpp"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace tarnwick::viewer {

class Selection;
class SessionModel;

/// The "Statistics" page: the current track's figures as the command line's stats gives them
/// (distance, times, speeds, elevations, heart rate, cadence, sensor speed), with the time in
/// each heart-rate zone and the kilometre splits as small tables. Follows the session and the
/// selection; the heart-rate limits come from the preferences (Reload after they change).
class StatsPane : public QWidget {
  Q_OBJECT

 public:
  StatsPane(SessionModel& Session, Selection& Selection, QWidget* Parent = nullptr);

  /// Reads the heart-rate limits again and shows the figures by them.
  void Reload();
  /// The figures shown (of no track: all zero).
  const TrackStats& Shown() const { return stats_; }

 private:
  void ShowTrack(int Track);

  SessionModel& session_;
  Selection& selection_;
  TrackStats stats_;
  QLabel* lblNoTrack_;
  QLabel* lblSource_;
  QTableWidget* grdFigures_;
  QTableWidget* grdZones_;
  QTableWidget* grdSplits_;
};

} // namespace tarnwick::viewer
