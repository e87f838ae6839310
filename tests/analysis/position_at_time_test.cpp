#include "analysis/position_at_time.hpp"
#include "analysis/track_series.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

using Kind = PositionAtTime::Kind;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int64_t kT0 = 1781942400000; // 2026-06-20 08:00:00 UTC

struct Point {
  double Seconds;
  double Latitude;
  double Longitude;
  double Elevation = kNaN;
};

TrackSeries Track(std::initializer_list<Point> Points) {
  TrackSeries s;
  for (const Point& p : Points) {
    s.TimeMs.push_back(kT0 + std::llround(p.Seconds * 1000));
    s.Latitude.push_back(p.Latitude);
    s.Longitude.push_back(p.Longitude);
    s.GpsElevation.push_back(p.Elevation);
  }
  return s;
}

int64_t At(double Seconds) {
  return kT0 + std::llround(Seconds * 1000);
}

TEST(PositionAtTime, InterpolatesLinearlyInTimeBetweenTheTwoPointsAround) {
  const std::vector<TrackSeries> t{
      Track({{0, 60, 24, 10}, {10, 60.1, 24.2, 30}, {70, 61, 25, 90}})};
  const PositionAtTime p = FindPositionAtTime(t, At(2.5), 1800);
  EXPECT_EQ(p.How, Kind::Interpolated);
  EXPECT_DOUBLE_EQ(p.Latitude, 60.025);
  EXPECT_DOUBLE_EQ(p.Longitude, 24.05);
  EXPECT_DOUBLE_EQ(p.Elevation, 15);
  EXPECT_DOUBLE_EQ(p.SecondsToNearest, 2.5);
  EXPECT_EQ(p.Point, 0u);

  // Past the middle the later point is the nearest; sub-second times count.
  const PositionAtTime q = FindPositionAtTime(t, At(40.25), 1800);
  EXPECT_EQ(q.How, Kind::Interpolated);
  EXPECT_NEAR(q.Latitude, 60.1 + 0.9 * 30.25 / 60, 1e-12);
  EXPECT_DOUBLE_EQ(q.SecondsToNearest, 29.75);
  EXPECT_EQ(q.Point, 2u);

  // On a point: that point, even when both gaps around it are too wide to interpolate.
  const PositionAtTime r = FindPositionAtTime(t, At(10), 5);
  EXPECT_EQ(r.How, Kind::Interpolated);
  EXPECT_DOUBLE_EQ(r.Latitude, 60.1);
  EXPECT_DOUBLE_EQ(r.Elevation, 30);
  EXPECT_EQ(r.SecondsToNearest, 0);
  EXPECT_EQ(r.Point, 1u);
}

TEST(PositionAtTime, AWideGapGivesTheNearestPointWithinTheLimitElseNothing) {
  const std::vector<TrackSeries> t{Track({{0, 60, 24, 5}, {1000, 61, 25, 7}})};
  // The points are 1000 s apart: too far to interpolate with a limit of 300 s.
  const PositionAtTime near = FindPositionAtTime(t, At(800), 300);
  EXPECT_EQ(near.How, Kind::Nearest);
  EXPECT_DOUBLE_EQ(near.Latitude, 61);
  EXPECT_DOUBLE_EQ(near.Elevation, 7);
  EXPECT_DOUBLE_EQ(near.SecondsToNearest, 200);

  const PositionAtTime gap = FindPositionAtTime(t, At(500), 300);
  EXPECT_EQ(gap.How, Kind::OutOfRange);
  EXPECT_DOUBLE_EQ(gap.SecondsToNearest, 500); // still told, for the report

  // The limit is inclusive, as a default of 1800 s means "up to half an hour".
  EXPECT_EQ(FindPositionAtTime(t, At(500), 1000).How, Kind::Interpolated);
  EXPECT_EQ(FindPositionAtTime(t, At(1300), 300).How, Kind::Nearest);
  EXPECT_EQ(FindPositionAtTime(t, At(-300), 300).How, Kind::Nearest);
  EXPECT_EQ(FindPositionAtTime(t, At(-300.001), 300).How, Kind::OutOfRange);
  EXPECT_EQ(FindPositionAtTime(t, At(1301), 300).How, Kind::OutOfRange);
}

TEST(PositionAtTime, PointsOutOfTimeOrderAreSortedAndKeepTheirIndex) {
  // Recorded order 0, 20, 10: the index sorts, the answer names the point as recorded.
  const std::vector<TrackSeries> t{Track({{0, 60, 24}, {20, 62, 26}, {10, 61, 25}})};
  const PositionAtTime p = FindPositionAtTime(t, At(14), 1800);
  EXPECT_EQ(p.How, Kind::Interpolated);
  EXPECT_NEAR(p.Latitude, 61.4, 1e-12);
  EXPECT_EQ(p.Point, 2u);
  const PositionAtTime q = FindPositionAtTime(t, At(19), 1800);
  EXPECT_NEAR(q.Longitude, 25.9, 1e-12);
  EXPECT_EQ(q.Point, 1u);
}

TEST(PositionAtTime, TracksAreNeverJoinedAndTheNearerTrackWins) {
  const std::vector<TrackSeries> t{Track({{0, 10, 10}, {100, 11, 11}}),
                                   Track({{200, 20, 20}, {300, 21, 21}})};
  // Between the tracks: the nearest end, not a line from one trip to the next.
  const PositionAtTime between = FindPositionAtTime(t, At(160), 1800);
  EXPECT_EQ(between.How, Kind::Nearest);
  EXPECT_DOUBLE_EQ(between.Latitude, 20);
  EXPECT_EQ(between.Track, 1u);
  EXPECT_EQ(between.Point, 0u);
  const PositionAtTime inSecond = FindPositionAtTime(t, At(250), 1800);
  EXPECT_EQ(inSecond.How, Kind::Interpolated);
  EXPECT_EQ(inSecond.Track, 1u);
  EXPECT_DOUBLE_EQ(inSecond.Latitude, 20.5);

  // One track alone: the other's points are not there.
  const TrackTimeIndex index(t);
  const PositionAtTime first = index.FindInTrack(0, At(160), 1800);
  EXPECT_EQ(first.How, Kind::Nearest);
  EXPECT_EQ(first.Track, 0u);
  EXPECT_DOUBLE_EQ(first.SecondsToNearest, 60);
  EXPECT_EQ(index.FindInTrack(2, At(160), 1800).How, Kind::OutOfRange);

  // Overlapping tracks: the one with a point nearer in time.
  const std::vector<TrackSeries> o{Track({{0, 10, 10}, {100, 11, 11}}),
                                   Track({{40, 30, 30}, {55, 31, 31}})};
  const PositionAtTime p = FindPositionAtTime(o, At(50), 1800);
  EXPECT_EQ(p.How, Kind::Interpolated);
  EXPECT_EQ(p.Track, 1u);
  EXPECT_NEAR(p.Latitude, 30 + 10.0 / 15, 1e-12);
}

TEST(PositionAtTime, PointsWithoutTimeOrPositionAreLeftOut) {
  TrackSeries s = Track({{0, 60, 24}, {5, kNaN, 24.5}, {10, 61, 25}, {15, 95, 25}});
  s.TimeMs.push_back(0); // a GPX point without <time>
  s.Latitude.push_back(0);
  s.Longitude.push_back(0);
  s.GpsElevation.clear(); // and a track without elevations
  const TrackTimeIndex index({s});
  EXPECT_FALSE(index.Empty());
  const PositionAtTime p = index.Find(At(5), 1800);
  EXPECT_EQ(p.How, Kind::Interpolated);
  EXPECT_DOUBLE_EQ(p.Latitude, 60.5);
  EXPECT_TRUE(std::isnan(p.Elevation));
  EXPECT_EQ(index.Find(At(15), 1800).How, Kind::Nearest);

  // Nothing usable at all.
  const TrackTimeIndex none({TrackSeries{}, Track({{0, kNaN, kNaN}})});
  EXPECT_TRUE(none.Empty());
  const PositionAtTime q = none.Find(At(0), 1800);
  EXPECT_EQ(q.How, Kind::OutOfRange);
  EXPECT_TRUE(std::isinf(q.SecondsToNearest));
}

TEST(PositionAtTime, ElevationAndLongitudeInterpolateSensibly) {
  // One point without an elevation: the other's, rather than none.
  const std::vector<TrackSeries> t{Track({{0, 0, 179.9, kNaN}, {10, 0, -179.9, 40}})};
  const PositionAtTime p = FindPositionAtTime(t, At(2), 1800);
  EXPECT_DOUBLE_EQ(p.Elevation, 40);
  // Across the antimeridian the short way: 179.9 -> 179.94, not towards 0.
  EXPECT_NEAR(p.Longitude, 179.94, 1e-9);
  EXPECT_NEAR(FindPositionAtTime(t, At(8), 1800).Longitude, -179.94, 1e-9);
}

} // namespace
} // namespace tarnwick
