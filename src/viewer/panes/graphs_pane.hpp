#pragma once

#include <QWidget>

class QLabel;
class QRadioButton;

namespace tarnwick::viewer {

class Selection;
class SessionModel;
class TrackGraphs;

/// The "Graphs" page: the current track's graphs against time or distance, with the values
/// under the mouse (or, without it, at the selected point) on a line above them. Follows the
/// session and the selection; a click on the graphs selects that point, so the grids follow.
class GraphsPane : public QWidget {
  Q_OBJECT

 public:
  GraphsPane(SessionModel& Session, Selection& Selection, QWidget* Parent = nullptr);

  TrackGraphs* Graphs() const { return graphs_; }

 private:
  void ShowTrack(int Track);
  void ShowValues(int Point);

  SessionModel& session_;
  Selection& selection_;
  TrackGraphs* graphs_;
  QRadioButton* rdoTime_;
  QRadioButton* rdoDistance_;
  QLabel* lblValues_;
  QLabel* lblNoTrack_;
};

} // namespace tarnwick::viewer
