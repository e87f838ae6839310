#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

class TGPXFile;
class TGPXTrkType;
class TIGotUTrack;

/// A way point as a map marks it.
struct SeriesWayPoint {
  double Latitude = 0;
  double Longitude = 0;
  /// UTC milliseconds since 1970-01-01; 0 when the point has no time.
  int64_t TimeMs = 0;
  std::string Name;
};

/// One track as columns of equal length, one entry per point in recorded order, whatever it
/// came from (a logger track or a GPX track), so statistics, graphs and the map read both
/// the same way. A column the track has no values for is empty; inside a column that is
/// there, NaN marks a point without a value.
struct TrackSeries {
  /// The track's name: the logger track's start ("20260620-0812") or the GPX track's name.
  std::string Name;
  /// UTC milliseconds since 1970-01-01, with the session's year era applied.
  std::vector<int64_t> TimeMs;
  /// Degrees, WGS84.
  std::vector<double> Latitude;
  std::vector<double> Longitude;
  /// Metres: the GPS fix's elevation (a GPX file's "ele").
  std::vector<double> GpsElevation;
  /// Metres: the barometric elevation of loggers that have a pressure sensor.
  std::vector<double> PressureElevation;
  /// Metres per second, as the GPS reports it.
  std::vector<double> GpsSpeed;
  /// Beats per minute from the belt; 0 is a sample without a reading.
  std::vector<double> HeartRate;
  /// Revolutions per minute; 0 is a sample without a reading.
  std::vector<double> Cadence;
  /// Metres per second from a wheel sensor.
  std::vector<double> SensorSpeed;
  /// The track's way points.
  std::vector<SeriesWayPoint> WayPoints;

  size_t Size() const { return TimeMs.size(); }
  bool Empty() const { return TimeMs.empty(); }
  /// The elevation that statistics and graphs prefer: the pressure elevation where the track
  /// has it, else the GPS elevation (possibly empty).
  const std::vector<double>& Elevation() const {
    return PressureElevation.empty() ? GpsElevation : PressureElevation;
  }
  bool ElevationIsPressure() const { return !PressureElevation.empty(); }
};

/// The series of a logger track: its points with their times as the track's records read
/// them, and each point's heart rate, cadence and sensor speed from the sample that covers
/// its time, matched exactly as the GPX export matches them (NaN where no sample covers it).
TrackSeries SeriesOfTrack(const TIGotUTrack& Track);

/// The series of a GPX track; TrackPointExtension v1 or v2 values fill the sample columns.
/// The track has no way points of its own: SeriesOfGpxFile hands out the file's.
TrackSeries SeriesOfGpxTrack(const TGPXTrkType& Track);

/// One series per track of File, in order. Each way point of the file goes to the first track
/// whose time range holds its time, or, without such a track, to the first track.
std::vector<TrackSeries> SeriesOfGpxFile(const TGPXFile& File);

} // namespace tarnwick
