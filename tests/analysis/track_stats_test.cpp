#include "analysis/geodesy.hpp"
#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace tarnwick {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Along the equator a geodesic is an arc of the equator: its length is the semi-major axis
// times the longitude difference, which gives distances known without the library.
constexpr double kEquatorMetresPerDegree = 6378137.0 * std::numbers::pi / 180;

// Builds a track along the equator: each Step adds a point Metres east of the last, Seconds
// after it.
struct EquatorTrack {
  TrackSeries Series;
  double Metres = 0;

  EquatorTrack() { Add(0, 0); }
  EquatorTrack& Add(double Seconds, double StepMetres) {
    const int64_t last = Series.TimeMs.empty() ? 0 : Series.TimeMs.back();
    Metres += StepMetres;
    Series.TimeMs.push_back(last + std::llround(Seconds * 1000));
    Series.Latitude.push_back(0);
    Series.Longitude.push_back(Metres / kEquatorMetresPerDegree);
    return *this;
  }
  EquatorTrack& Steps(int Count, double Seconds, double StepMetres) {
    for (int i = 0; i < Count; ++i) {
      Add(Seconds, StepMetres);
    }
    return *this;
  }
};

TEST(TrackStats, StraightLineGivesItsLengthDurationAndSpeeds) {
  EquatorTrack t;
  t.Steps(600, 1, 5.5);
  t.Series.GpsSpeed.assign(t.Series.Size(), 5.0);
  t.Series.GpsSpeed[300] = 7.25;
  const TrackStats s = ComputeTrackStats(t.Series);
  EXPECT_EQ(s.Points, 601u);
  EXPECT_NEAR(s.DistanceM, 3300, 1e-6);
  EXPECT_DOUBLE_EQ(s.DurationS, 600);
  EXPECT_DOUBLE_EQ(s.MovingTimeS, 600);
  EXPECT_NEAR(s.MovingSpeedAvgMs, 5.5, 1e-9);
  EXPECT_NEAR(s.SpeedMaxMs, 5.5, 1e-9);
  // The recorded maximum stands beside the one from positions, not in its place.
  EXPECT_TRUE(s.HasGpsSpeed);
  EXPECT_DOUBLE_EQ(s.GpsSpeedMaxMs, 7.25);
  EXPECT_FALSE(s.HasElevation);
  EXPECT_FALSE(s.HasHeartRate);
  EXPECT_FALSE(s.HasCadence);
  EXPECT_FALSE(s.HasSensorSpeed);
}

TEST(TrackStats, EmptyAndSinglePointTracksHaveNoFigures) {
  const TrackStats empty = ComputeTrackStats(TrackSeries{});
  EXPECT_EQ(empty.Points, 0u);
  EXPECT_EQ(empty.DistanceM, 0);
  EXPECT_TRUE(empty.Splits.empty());

  EquatorTrack one;
  one.Series.GpsElevation = {12};
  const TrackStats s = ComputeTrackStats(one.Series);
  EXPECT_EQ(s.DistanceM, 0);
  EXPECT_EQ(s.DurationS, 0);
  EXPECT_EQ(s.MovingTimeS, 0);
  EXPECT_EQ(s.MovingSpeedAvgMs, 0);
  EXPECT_EQ(s.SpeedMaxMs, 0);
  EXPECT_EQ(s.ElevationMinM, 12);
  EXPECT_EQ(s.AscentM, 0);
  EXPECT_TRUE(s.Splits.empty());
}

TEST(TrackStats, ImpossiblePositionsAddNoDistance) {
  // A file may hold a latitude beyond the pole; the segments to and from it count nothing.
  EquatorTrack t;
  t.Steps(3, 1, 100);
  t.Series.Latitude[2] = 95;
  const TrackStats s = ComputeTrackStats(t.Series);
  EXPECT_NEAR(s.DistanceM, 100, 1e-6);
  EXPECT_NEAR(s.Splits.at(0).DistanceM, 100, 1e-6);
}

TEST(TrackStats, MovingTimeLeavesOutPausesGapsAndCrawling) {
  EquatorTrack t;
  t.Steps(100, 1, 4);    // 100 s moving, 400 m
  t.Steps(400, 1, 0.49); // standing: the GPS wanders just under 0.5 m/s
  t.Add(301, 600);       // a gap of more than 5 minutes, however far it goes
  t.Add(300, 151);       // 5 minutes exactly, a little over 0.5 m/s: moving
  t.Add(10, 5.1);        // 0.51 m/s: moving
  const TrackStats s = ComputeTrackStats(t.Series);
  EXPECT_DOUBLE_EQ(s.DurationS, 100 + 400 + 301 + 300 + 10);
  EXPECT_NEAR(s.MovingTimeS, 100 + 300 + 10, 1e-9);
  EXPECT_NEAR(s.MovingSpeedAvgMs, (400 + 151 + 5.1) / 410, 1e-9);
  EXPECT_NEAR(s.DistanceM, 400 + 400 * 0.49 + 600 + 151 + 5.1, 1e-6);
}

TEST(TrackStats, MaxSpeedFromPositionsSpansAtLeastFiveSeconds) {
  // One fix 50 m ahead of its neighbours at 5 m/s, a detour of 90 m: over 1 s it would read
  // 55 m/s; over 5 s the detour is spread out.
  EquatorTrack t;
  t.Steps(20, 1, 5);
  t.Add(1, 55).Add(1, -45);
  t.Steps(20, 1, 5);
  EXPECT_NEAR(ComputeTrackStats(t.Series).SpeedMaxMs, (25.0 + 90) / 5, 1e-9);

  // Fixes 2 s apart: the window from a point runs to the first point at least 5 s on (6 s),
  // never to one short of it (4 s).
  EquatorTrack sparse;
  sparse.Add(2, 20).Add(2, 20).Add(2, 2).Add(2, 2);
  EXPECT_NEAR(ComputeTrackStats(sparse.Series).SpeedMaxMs, 42.0 / 6, 1e-9);

  // A track shorter than the window has no such speed.
  EquatorTrack brief;
  brief.Steps(4, 1, 10);
  EXPECT_EQ(ComputeTrackStats(brief.Series).SpeedMaxMs, 0);
}

// A track standing still with the given elevations, one a second.
TrackSeries Climb(std::vector<double> Gps, std::vector<double> Pressure = {}) {
  EquatorTrack t;
  t.Steps(static_cast<int>(Gps.size()) - 1, 1, 0);
  t.Series.GpsElevation = std::move(Gps);
  t.Series.PressureElevation = std::move(Pressure);
  return t.Series;
}

TEST(TrackStats, AscentAndDescentFollowTheFiveMetreHysteresis) {
  // By hand: the level starts at 100; 105 climbs 5 (exactly the threshold), 99.9 descends 5.1,
  // 106 climbs 6.1; every other step stays within 5 m of the level.
  const TrackStats s =
      ComputeTrackStats(Climb({100, 103, 104.9, 105, 101, 99.9, 100.5, 106, 110, 104.9}));
  EXPECT_TRUE(s.HasElevation);
  EXPECT_FALSE(s.ElevationIsPressure);
  EXPECT_NEAR(s.AscentM, 11.1, 1e-9);
  EXPECT_NEAR(s.DescentM, 5.1, 1e-9);
  EXPECT_DOUBLE_EQ(s.ElevationMinM, 99.9);
  EXPECT_DOUBLE_EQ(s.ElevationMaxM, 110);

  // Noise below the hysteresis on a steady climb of 20 m counts only the climb.
  std::vector<double> noisy;
  for (int i = 0; i <= 200; ++i) {
    noisy.push_back(100 + i * 0.1 + (i % 2 == 0 ? 2.0 : -2.0));
  }
  const TrackStats below = ComputeTrackStats(Climb(noisy));
  EXPECT_GE(below.AscentM, 15);
  EXPECT_LE(below.AscentM, 20);
  EXPECT_EQ(below.DescentM, 0);

  // Noise above it counts every swing.
  const TrackStats above = ComputeTrackStats(Climb({100, 106, 100, 106, 100}));
  EXPECT_DOUBLE_EQ(above.AscentM, 12);
  EXPECT_DOUBLE_EQ(above.DescentM, 12);
}

TEST(TrackStats, ElevationPrefersPressureAndSkipsMissingValues) {
  // The GPS elevation swings 20 m; the pressure elevation climbs 6 m after two points without
  // a value, so its level starts at its first value.
  const TrackStats s =
      ComputeTrackStats(Climb({100, 120, 100, 120, 100}, {kNaN, kNaN, 50, 53, 56}));
  EXPECT_TRUE(s.ElevationIsPressure);
  EXPECT_DOUBLE_EQ(s.AscentM, 6);
  EXPECT_DOUBLE_EQ(s.DescentM, 0);
  EXPECT_DOUBLE_EQ(s.ElevationMinM, 50);
  EXPECT_DOUBLE_EQ(s.ElevationMaxM, 56);
}

TEST(TrackStats, SamplesLeaveOutPointsWithoutReadings) {
  EquatorTrack t;
  t.Steps(5, 1, 3);
  t.Series.HeartRate = {0, 120, kNaN, 140, 160, 0};
  t.Series.Cadence = {0, 80, 90, kNaN, 0, 0};
  // A wheel standing still reads 0 m/s: a reading, unlike a heart rate of 0.
  t.Series.SensorSpeed = {0, 5, 7, kNaN, kNaN, kNaN};
  const TrackStats s = ComputeTrackStats(t.Series);
  ASSERT_TRUE(s.HasHeartRate);
  EXPECT_DOUBLE_EQ(s.HeartRateMin, 120);
  EXPECT_DOUBLE_EQ(s.HeartRateAvg, 140);
  EXPECT_DOUBLE_EQ(s.HeartRateMax, 160);
  ASSERT_TRUE(s.HasCadence);
  EXPECT_DOUBLE_EQ(s.CadenceAvg, 85);
  EXPECT_DOUBLE_EQ(s.CadenceMax, 90);
  ASSERT_TRUE(s.HasSensorSpeed);
  EXPECT_DOUBLE_EQ(s.SensorSpeedAvgMs, 4);
  EXPECT_DOUBLE_EQ(s.SensorSpeedMaxMs, 7);

  // A belt worn but never read is no heart-rate figure.
  t.Series.HeartRate = {0, 0, kNaN, 0, 0, 0};
  EXPECT_FALSE(ComputeTrackStats(t.Series).HasHeartRate);
}

TEST(TrackStats, TimeInZonesByTheStartOfEachInterval) {
  // Default limits: 95, 114, 133, 152 and 171 bpm. Each interval takes its first point's rate.
  EquatorTrack t;
  t.Steps(9, 1, 3);
  t.Add(400, 0); // a gap: no time in any zone
  t.Add(1, 3);
  t.Series.HeartRate = {94, 95, 113.9, 114, 133, 152, 170.9, 171, 250, 120, 120, 0};
  const TrackStats s = ComputeTrackStats(t.Series);
  EXPECT_EQ(s.HeartRateZoneS, (std::array<double, 5>{2, 2, 1, 2, 2}));

  // The limits come from the settings.
  StatsSettings settings;
  settings.MaxHeartRate = 200;
  settings.ZonePercent = {60, 65, 70, 75, 80};
  EXPECT_EQ(settings.ZoneLimitsBpm(), (std::array<double, 5>{120, 130, 140, 150, 160}));
  const TrackStats custom = ComputeTrackStats(t.Series, settings);
  EXPECT_EQ(custom.HeartRateZoneS, (std::array<double, 5>{1, 1, 0, 1, 3}));
}

TEST(TrackStats, RideOfExactlyThreeKilometresHasThreeSplits) {
  // 10 m steps: 10 m/s, then 5 m/s, then 10 m/s again, a kilometre each.
  EquatorTrack t;
  t.Steps(100, 1, 10).Steps(100, 2, 10).Steps(100, 1, 10);
  const size_t n = t.Series.Size();
  t.Series.HeartRate.resize(n);
  t.Series.GpsElevation.resize(n);
  for (size_t i = 0; i < n; ++i) {
    // A point on a mark ends the kilometre before it.
    t.Series.HeartRate[i] = i <= 100 ? 100 : i <= 200 ? 150 : 120;
    // The second kilometre climbs 10 m, reached on its mark.
    t.Series.GpsElevation[i] = i <= 100 ? 0 : i <= 200 ? (static_cast<double>(i) - 100) / 10 : 10;
  }
  const TrackStats s = ComputeTrackStats(t.Series);
  ASSERT_EQ(s.Splits.size(), 3u);
  const double times[] = {100, 200, 100};
  const double speeds[] = {10, 5, 10};
  const double rates[] = {100, 150, 120};
  const double climbs[] = {0, 10, 0};
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(s.Splits[k].DistanceM, 1000, 1e-6);
    EXPECT_NEAR(s.Splits[k].TimeS, times[k], 1e-6);
    EXPECT_NEAR(s.Splits[k].MovingSpeedMs, speeds[k], 1e-6);
    EXPECT_DOUBLE_EQ(s.Splits[k].HeartRateAvg, rates[k]);
    EXPECT_NEAR(s.Splits[k].AscentM, climbs[k], 1e-9);
  }
  EXPECT_NEAR(s.AscentM, 10, 1e-9);
}

TEST(TrackStats, SplitsShareIntervalsAcrossMarksAndEndWithTheRest) {
  // 400 m steps of 40 s: the third step crosses the first mark, the fifth ends on the second;
  // the last 400 m are a split of their own, with a pause of 10 minutes in it.
  EquatorTrack t;
  t.Steps(6, 40, 400).Add(600, 0);
  const TrackStats s = ComputeTrackStats(t.Series);
  ASSERT_EQ(s.Splits.size(), 3u);
  EXPECT_NEAR(s.Splits[0].TimeS, 100, 1e-6);
  EXPECT_NEAR(s.Splits[1].TimeS, 100, 1e-6);
  EXPECT_NEAR(s.Splits[2].DistanceM, 400, 1e-6);
  EXPECT_NEAR(s.Splits[2].TimeS, 40 + 600, 1e-6);
  EXPECT_NEAR(s.Splits[2].MovingSpeedMs, 10, 1e-6);
  EXPECT_TRUE(std::isnan(s.Splits[2].HeartRateAvg));
}

TEST(Geodesy, CumulativeDistanceAgreesWithTheInverseSolution) {
  // A wandering ride at high latitude with irregular steps and two long jumps (gaps in the
  // recording), against the library's own inverse solution summed here.
  TrackSeries s;
  double lat = 60.17;
  double lon = 24.94;
  for (int i = 0; i < 5000; ++i) {
    const double step = 1e-5 * (1 + (i * 7919) % 13);
    lat += step * std::sin(i * 0.013);
    lon += step * 2 * std::cos(i * 0.007);
    if (i == 1000) {
      lon += 0.3; // about 17 km
    }
    if (i == 3000) {
      lat -= 0.02; // about 2 km
    }
    s.TimeMs.push_back(i * 1000LL);
    s.Latitude.push_back(lat);
    s.Longitude.push_back(lon);
  }
  const auto& wgs84 = GeographicLib::Geodesic::WGS84();
  const std::vector<double> along = CumulativeDistanceM(s);
  double sum = 0;
  for (size_t i = 1; i < s.Size(); ++i) {
    double s12 = 0;
    wgs84.Inverse(s.Latitude[i - 1], s.Longitude[i - 1], s.Latitude[i], s.Longitude[i], s12);
    sum += s12;
    ASSERT_NEAR(along[i], sum, 1e-3) << "point " << i;
  }
  EXPECT_GT(sum, 20000);
  EXPECT_NEAR(ComputeTrackStats(s).DistanceM, sum, 1e-3);
  EXPECT_NEAR(
      GeodesicDistanceM(s.Latitude[1000], s.Longitude[1000], s.Latitude[1001], s.Longitude[1001]),
      along[1001] - along[1000], 1e-9);
}

} // namespace
} // namespace tarnwick
