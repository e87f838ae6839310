#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tarnwick {

struct TrackSeries;

/// The settings the statistics take from the preferences.
struct StatsSettings {
  /// Beats per minute that the zone limits are percentages of.
  double MaxHeartRate = 190;
  /// The lower limit of each heart-rate zone, in per cent of MaxHeartRate, rising; zone 5 has
  /// no upper limit, and a heart rate below zone 1 is in no zone.
  std::array<double, 5> ZonePercent = {50, 60, 70, 80, 90};

  /// The lower limit of each zone in beats per minute.
  std::array<double, 5> ZoneLimitsBpm() const;
};

/// One kilometre of a track (the last may be shorter): its figures from the points it covers,
/// with the intervals that cross a kilometre's end shared out by distance.
struct KmSplit {
  double DistanceM = 0;
  /// Elapsed seconds, pauses included.
  double TimeS = 0;
  /// Metres per second over the moving intervals; 0 without any.
  double MovingSpeedMs = 0;
  /// Over the heart-rate readings of the points in this kilometre; NaN without any.
  double HeartRateAvg = 0;
  /// The ascent of the track's hysteresis that its points reached.
  double AscentM = 0;
};

/// The figures of one track. Where a track lacks the values a figure needs (no heart-rate
/// samples, no elevation), the Has... flag is false and the figures stay 0.
struct TrackStats {
  size_t Points = 0;
  /// The sum of the geodesic distances (WGS84) between consecutive points.
  double DistanceM = 0;
  /// First point to last.
  double DurationS = 0;
  /// The intervals between consecutive points of at most 5 minutes whose average speed is at
  /// least 0.5 m/s.
  double MovingTimeS = 0;
  /// Distance over time of those intervals; 0 without any.
  double MovingSpeedAvgMs = 0;
  /// The fastest average speed from the positions over the shortest run of points spanning at
  /// least 5 s, for every first point.
  double SpeedMaxMs = 0;
  /// The largest speed the GPS recorded.
  bool HasGpsSpeed = false;
  double GpsSpeedMaxMs = 0;

  /// Elevation figures use the pressure elevation where the track has it, else the GPS one.
  bool HasElevation = false;
  bool ElevationIsPressure = false;
  double ElevationMinM = 0;
  double ElevationMaxM = 0;
  /// With a 5 m hysteresis (see the .cpp).
  double AscentM = 0;
  double DescentM = 0;

  /// Heart rate and cadence leave out points without a reading (0 or NaN).
  bool HasHeartRate = false;
  double HeartRateMin = 0;
  double HeartRateAvg = 0;
  double HeartRateMax = 0;
  /// Seconds in each zone of StatsSettings.
  std::array<double, 5> HeartRateZoneS = {};
  bool HasCadence = false;
  double CadenceAvg = 0;
  double CadenceMax = 0;
  bool HasSensorSpeed = false;
  double SensorSpeedAvgMs = 0;
  double SensorSpeedMaxMs = 0;

  /// None for a track of more than 100,000 km (points jumping between continents).
  std::vector<KmSplit> Splits;
};

/// The statistics of Series; an empty series gives all zeros and no splits.
TrackStats ComputeTrackStats(const TrackSeries& Series, const StatsSettings& Settings = {});

} // namespace tarnwick
