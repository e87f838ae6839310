#include "viewer/map/map_track.hpp"

#include "analysis/track_series.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick::viewer {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Placed(const WorldPoint& Point) {
  return !std::isnan(Point.X) && !std::isnan(Point.Y);
}

// The squared distance from P to the segment from A to B: to the segment, not its line, so
// that the turning point of an out-and-back ride is kept.
double SquaredDistanceToSegment(const WorldPoint& P, const WorldPoint& A, const WorldPoint& B) {
  const double vx = B.X - A.X;
  const double vy = B.Y - A.Y;
  const double length = vx * vx + vy * vy;
  double t = length > 0 ? ((P.X - A.X) * vx + (P.Y - A.Y) * vy) / length : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double dx = P.X - (A.X + t * vx);
  const double dy = P.Y - (A.Y + t * vy);
  return dx * dx + dy * dy;
}

} // namespace

MapTrack::MapTrack(const TrackSeries& Series) {
  const size_t count = std::min(Series.Latitude.size(), Series.Longitude.size());
  points_.reserve(count);
  min_ = {1, 1};
  max_ = {0, 0};
  for (size_t i = 0; i < count; ++i) {
    const double lat = Series.Latitude[i];
    const double lon = Series.Longitude[i];
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::abs(lat) > 90 || std::abs(lon) > 180) {
      points_.push_back({kNaN, kNaN});
      continue;
    }
    const WorldPoint point = ToWorld(lat, lon);
    points_.push_back(point);
    min_ = {std::min(min_.X, point.X), std::min(min_.Y, point.Y)};
    max_ = {std::max(max_.X, point.X), std::max(max_.Y, point.Y)};
    if (first_ < 0) {
      first_ = static_cast<int>(i);
    }
    last_ = static_cast<int>(i);
  }
  for (const SeriesWayPoint& way : Series.WayPoints) {
    if (std::isfinite(way.Latitude) && std::isfinite(way.Longitude)) {
      wayPoints_.push_back({ToWorld(way.Latitude, way.Longitude), way.Name});
    }
  }
  if (first_ < 0) {
    min_ = max_ = {};
  }
}

const std::vector<int>& MapTrack::Simplified(int Zoom) const {
  Zoom = std::clamp(Zoom, 0, kMaxZoom);
  std::optional<std::vector<int>>& cached = simplified_[static_cast<size_t>(Zoom)];
  if (cached) {
    return *cached;
  }
  const double tolerance = 1.0 / WorldPixels(Zoom);
  const double squared = tolerance * tolerance;
  std::vector<int> kept;
  int previous = -1; // the last point kept of the stretch being drawn
  int skipped = -1;  // the last point left out since then
  const int count = static_cast<int>(points_.size());
  for (int i = 0; i < count; ++i) {
    const WorldPoint& point = points_[static_cast<size_t>(i)];
    if (!Placed(point)) {
      if (skipped >= 0) {
        kept.push_back(skipped);
      }
      if (previous >= 0) {
        kept.push_back(-1);
      }
      previous = skipped = -1;
      continue;
    }
    if (previous >= 0) {
      const WorldPoint& last = points_[static_cast<size_t>(previous)];
      const double dx = point.X - last.X;
      const double dy = point.Y - last.Y;
      if (dx * dx + dy * dy < squared) {
        skipped = i;
        continue;
      }
    }
    kept.push_back(i);
    previous = i;
    skipped = -1;
  }
  if (skipped >= 0) {
    kept.push_back(skipped);
  }
  cached = Straightened(kept, squared);
  return *cached;
}

std::vector<int> MapTrack::Straightened(const std::vector<int>& Kept, double Squared) const {
  // Douglas-Peucker within each stretch between breaks: a point stays when it lies farther
  // than the tolerance from the segment between the points kept around it. Wide antialiased
  // strokes cost the painter per segment, and a long ride's gentle curves need few of them.
  std::vector<char> keep(Kept.size(), 0);
  std::vector<std::pair<size_t, size_t>> pending;
  size_t begin = 0;
  while (begin < Kept.size()) {
    size_t end = begin;
    while (end < Kept.size() && Kept[end] >= 0) {
      ++end;
    }
    if (end > begin) {
      keep[begin] = keep[end - 1] = 1;
      pending.emplace_back(begin, end - 1);
    }
    while (!pending.empty()) {
      const auto [from, to] = pending.back();
      pending.pop_back();
      const WorldPoint& a = points_[static_cast<size_t>(Kept[from])];
      const WorldPoint& b = points_[static_cast<size_t>(Kept[to])];
      double farthest = Squared;
      size_t chosen = 0;
      for (size_t i = from + 1; i < to; ++i) {
        const double d = SquaredDistanceToSegment(points_[static_cast<size_t>(Kept[i])], a, b);
        if (d > farthest) {
          farthest = d;
          chosen = i;
        }
      }
      if (chosen != 0) {
        keep[chosen] = 1;
        pending.emplace_back(from, chosen);
        pending.emplace_back(chosen, to);
      }
    }
    if (end < Kept.size()) {
      keep[end] = 1; // the break
    }
    begin = end + 1;
  }
  std::vector<int> straightened;
  for (size_t i = 0; i < Kept.size(); ++i) {
    if (keep[i] != 0) {
      straightened.push_back(Kept[i]);
    }
  }
  return straightened;
}

std::optional<int> MapTrack::Nearest(const WorldPoint& At, double MaxDistance) const {
  std::optional<int> best;
  double bestSquared = MaxDistance * MaxDistance;
  const int count = static_cast<int>(points_.size());
  for (int i = 0; i < count; ++i) {
    const WorldPoint& point = points_[static_cast<size_t>(i)];
    const double dx = point.X - At.X;
    const double dy = point.Y - At.Y;
    const double squared = dx * dx + dy * dy;
    if (squared <= bestSquared) { // NaN compares false and is never chosen
      bestSquared = squared;
      best = i;
    }
  }
  return best;
}

} // namespace tarnwick::viewer
