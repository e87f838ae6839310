// The statistics of one track of 65,535 points, a full logger memory recorded as one ride.
#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"

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

} // namespace
} // namespace tarnwick

BENCHMARK_MAIN();
