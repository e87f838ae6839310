#pragma once

#include <QObject>

namespace tarnwick::viewer {

/// What the user has chosen in the shown image: the current track and, within it, the current
/// track point, both as indexes in written order (-1: none). The panes follow it rather than
/// each other, so a grid's sorting or filtering never decides which data is meant.
class Selection : public QObject {
  Q_OBJECT

 public:
  explicit Selection(QObject* Parent = nullptr) : QObject(Parent) {}

  int Track() const { return track_; }
  int Point() const { return point_; }

  /// Makes Track current; the point goes back to none. Tells only when it changed.
  void SetTrack(int Track);
  /// Makes Point of the current track current. Tells only when it changed.
  void SetPoint(int Point);
  /// Forgets both (a new image); tells TrackChanged(-1) when a track was current.
  void Clear();

 signals:
  void TrackChanged(int Track);
  void PointChanged(int Point);

 private:
  int track_ = -1;
  int point_ = -1;
};

} // namespace tarnwick::viewer
