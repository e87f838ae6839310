// The statistics of one track of 65,535 points, a full logger memory recorded as one ride; and
// of the generator's longest GT-900 ride, from its decoded track.
#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"
#include "logger/tracks.hpp"
#include "sim/sample_image.hpp"

#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>

namespace tarnwick {
namespace {

constexpr size_t kPoints = 65535;

// A ride of a fix a second: a wandering course at 3 to 9 m/s over rolling hills, with every
// column a GT-900 logger with belt, cadence and wheel sensors fills.
TrackSeries Ride() {
  TrackSeries s;
  double lat = 46.548;
  double lon = 11.81;
  for (size_t i = 0; i < kPoints; ++i) {
    const double t = static_cast<double>(i);
    const double speed = 6 + 3 * std::sin(t / 97);
    const double course = t / 500 + std::sin(t / 37);
    lat += speed * std::cos(course) / 111'320;
    lon += speed * std::sin(course) / (111'320 * std::cos(lat * std::numbers::pi / 180));
    const double ele = 1500 + 80 * std::sin(t / 900) + 2 * std::sin(t * 1.7);
    s.TimeMs.push_back(static_cast<int64_t>(i) * 1000 + 1'700'000'000'000);
    s.Latitude.push_back(lat);
    s.Longitude.push_back(lon);
    s.GpsElevation.push_back(ele + 3 * std::sin(t * 0.31));
    s.PressureElevation.push_back(ele);
    s.GpsSpeed.push_back(speed);
    s.HeartRate.push_back(i % 50 == 0 ? 0 : 120 + 30 * std::sin(t / 300));
    s.Cadence.push_back(speed < 4 ? 0 : 85 + 5 * std::sin(t / 13));
    s.SensorSpeed.push_back(speed + 0.1 * std::sin(t));
  }
  return s;
}

void BM_TrackStats(benchmark::State& state) {
  const TrackSeries ride = Ride();
  double distance = 0;
  for (auto _ : state) {
    const TrackStats stats = ComputeTrackStats(ride);
    distance = stats.DistanceM;
    benchmark::DoNotOptimize(stats.Splits.data());
  }
  state.counters["points"] = static_cast<double>(ride.Size());
  state.counters["km"] = distance / 1000;
}
BENCHMARK(BM_TrackStats)->Unit(benchmark::kMillisecond);

// A full GT-900 memory as one ride of 15 hours (54,001 points and their samples): the series
// of its track, as the image session builds it, and its statistics.
void BM_RideImage(benchmark::State& state) {
  sim::SampleSpec spec(sim::SampleFamily::GT900, 65535, 1);
  spec.RideHours = 15;
  const TIGotUWholeData image = sim::GenerateSampleImage(spec);
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  const TIGotUTrack& ride = points.Tracks()[0];
  const bool statsOnly = state.range(0) == 1;
  const TrackSeries series = SeriesOfTrack(ride);
  for (auto _ : state) {
    if (statsOnly) {
      benchmark::DoNotOptimize(ComputeTrackStats(series).DistanceM);
    } else {
      benchmark::DoNotOptimize(ComputeTrackStats(SeriesOfTrack(ride)).DistanceM);
    }
  }
  state.SetLabel(statsOnly ? "statistics" : "series and statistics");
  state.counters["points"] = static_cast<double>(series.Size());
}
BENCHMARK(BM_RideImage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarnwick

BENCHMARK_MAIN();
