#include "viewer/models/selection.hpp"

namespace tarnwick::viewer {

void Selection::SetTrack(int Track) {
  if (Track == track_) {
    return;
  }
  track_ = Track;
  point_ = -1;
  emit TrackChanged(track_);
}

void Selection::SetPoint(int Point) {
  if (Point == point_) {
    return;
  }
  point_ = Point;
  emit PointChanged(point_);
}

void Selection::Clear() {
  point_ = -1;
  if (track_ != -1) {
    track_ = -1;
    emit TrackChanged(-1);
  }
}

} // namespace tarnwick::viewer
