#include "app/stats_figures.hpp"

#include <cmath>
#include <cstdio>

namespace tarnwick::app {

std::vector<StatsFigure> FiguresOf(const TrackStats& s) {
  return {
      {"distance_m", "Distance", "m", true, s.DistanceM, 1},
      {"duration_s", "Duration", "s", true, s.DurationS, 1},
      {"moving_time_s", "Moving time", "s", true, s.MovingTimeS, 1},
      {"moving_speed_avg_kmh", "Moving speed, average", "km/h", true,
       s.MovingSpeedAvgMs * kKmhPerMs, 2},
      {"speed_max_kmh", "Speed, maximum over 5 s", "km/h", true, s.SpeedMaxMs * kKmhPerMs, 2},
      {"gps_speed_max_kmh", "GPS speed, maximum recorded", "km/h", s.HasGpsSpeed,
       s.GpsSpeedMaxMs * kKmhPerMs, 2, true},
      {"elevation_min_m", "Elevation, lowest", "m", s.HasElevation, s.ElevationMinM, 1},
      {"elevation_max_m", "Elevation, highest", "m", s.HasElevation, s.ElevationMaxM, 1},
      {"ascent_m", "Ascent", "m", s.HasElevation, s.AscentM, 1},
      {"descent_m", "Descent", "m", s.HasElevation, s.DescentM, 1},
      {"hr_min", "Heart rate, lowest", "bpm", s.HasHeartRate, s.HeartRateMin, 1, true},
      {"hr_avg", "Heart rate, average", "bpm", s.HasHeartRate, s.HeartRateAvg, 1, true},
      {"hr_max", "Heart rate, highest", "bpm", s.HasHeartRate, s.HeartRateMax, 1, true},
      {"cadence_avg", "Cadence, average", "rpm", s.HasCadence, s.CadenceAvg, 1, true},
      {"cadence_max", "Cadence, highest", "rpm", s.HasCadence, s.CadenceMax, 1, true},
      {"sensor_speed_avg", "Sensor speed, average", "km/h", s.HasSensorSpeed,
       s.SensorSpeedAvgMs * kKmhPerMs, 2, true},
      {"sensor_speed_max", "Sensor speed, highest", "km/h", s.HasSensorSpeed,
       s.SensorSpeedMaxMs * kKmhPerMs, 2, true},
  };
}

double RoundedFigure(double Value, int Decimals) {
  const double scale = std::pow(10.0, Decimals);
  const double r = std::round(Value * scale) / scale;
  return r == 0 ? 0 : r;
}

std::string FigureText(double Value, int Decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", Decimals, RoundedFigure(Value, Decimals));
  return buffer;
}

std::string DurationText(double Seconds) {
  if (!std::isfinite(Seconds) || Seconds < 0) {
    return {};
  }
  const auto total = static_cast<long long>(std::llround(Seconds));
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                total % 60);
  return buffer;
}

const char* ElevationSource(const TrackStats& S) {
  return S.ElevationIsPressure ? "pressure" : "gps";
}

} // namespace tarnwick::app
