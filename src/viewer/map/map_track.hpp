#pragma once

#include "viewer/map/tile_math.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {
struct TrackSeries;
}

namespace tarnwick::viewer {

/// A track as the map draws it: every point projected once into the plane (a point without
/// a position stays NaN and breaks the line), and per zoom level the points that are at least
/// half a pixel apart there, so a redraw handles what the pixels can show rather than every
/// point of a long ride.
class MapTrack {
 public:
  struct WayPoint {
    WorldPoint At;
    std::string Name;
  };

  explicit MapTrack(const TrackSeries& Series);

  /// One entry per point of the series, in its order.
  const std::vector<WorldPoint>& Points() const { return points_; }
  const std::vector<WayPoint>& WayPoints() const { return wayPoints_; }
  /// Whether any point has a position; the bounds and ends below need one.
  bool HasPositions() const { return first_ >= 0; }
  WorldPoint Min() const { return min_; }
  WorldPoint Max() const { return max_; }
  /// The first and the last point with a position (-1 without any).
  int First() const { return first_; }
  int Last() const { return last_; }

  /// The indexes of the points to draw at Zoom: the first and last of each stretch with
  /// positions, and between them the points that the line needs to stay within half a pixel
  /// of every point; -1 stands for a break. Worked out at the first use of each zoom.
  const std::vector<int>& Simplified(int Zoom) const;

  /// The point nearest to At within MaxDistance (in the plane's units), or nothing.
  std::optional<int> Nearest(const WorldPoint& At, double MaxDistance) const;

 private:
  std::vector<int> Straightened(const std::vector<int>& Kept, double Squared) const;

  std::vector<WorldPoint> points_;
  std::vector<WayPoint> wayPoints_;
  WorldPoint min_;
  WorldPoint max_;
  int first_ = -1;
  int last_ = -1;
  mutable std::array<std::optional<std::vector<int>>, kMaxZoom + 1> simplified_;
};

} // namespace tarnwick::viewer
