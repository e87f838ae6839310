#include "analysis/track_stats.hpp"

#include "analysis/geodesy.hpp"
#include "analysis/track_series.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {

namespace {

// An interval longer than this is a gap in the recording (the logger off or waiting for a
// fix): not moving, and no time in a heart-rate zone.
constexpr double kMaxMovingIntervalS = 5 * 60;
// Slower than this the GPS's wander is all the "movement" there is.
constexpr double kMinMovingSpeedMs = 0.5;
// The speed from positions is taken over at least this much time, so that one jumpy fix
// makes no record speed.
constexpr double kSpeedWindowS = 5;
constexpr double kHysteresisM = 5;
constexpr double kSplitM = 1000;
// A ride of exactly N km sums its segments to N km give or take rounding: a kilometre ends
// this close before its mark, and a last split shorter than this is none.
constexpr double kSplitToleranceM = 1e-3;
// Splits for rides, not for a file whose points jump between continents: beyond this many
// kilometres a track has none (and their list stays small).
constexpr double kMaxSplits = 100'000;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Seconds(int64_t FromMs, int64_t ToMs) {
  return static_cast<double>(ToMs - FromMs) / 1000;
}

// Min, max, average and count of the values of Column that Take accepts.
struct Summary {
  double Min = std::numeric_limits<double>::infinity();
  double Max = -std::numeric_limits<double>::infinity();
  double Sum = 0;
  size_t Count = 0;

  template <class Pred>
  static Summary Of(const std::vector<double>& Column, Pred Take) {
    Summary s;
    for (const double v : Column) {
      if (Take(v)) {
        s.Min = std::min(s.Min, v);
        s.Max = std::max(s.Max, v);
        s.Sum += v;
        ++s.Count;
      }
    }
    return s;
  }
  double Average() const { return Count == 0 ? 0 : Sum / static_cast<double>(Count); }
};

bool IsValue(double V) {
  return !std::isnan(V);
}
// Heart rate and cadence: 0 is a sample without a reading.
bool IsReading(double V) {
  return !std::isnan(V) && V > 0;
}

// The ascent and descent with the hysteresis, one elevation after another.
class ClimbCounter {
 public:
  /// Takes the next point's elevation (NaN: none) and gives what it adds to the ascent.
  double Add(double E) {
    if (std::isnan(E)) {
      return 0;
    }
    if (std::isnan(level_)) {
      level_ = E;
    } else if (E - level_ >= kHysteresisM) {
      const double climb = E - level_;
      ascent_ += climb;
      level_ = E;
      return climb;
    } else if (level_ - E >= kHysteresisM) {
      descent_ += level_ - E;
      level_ = E;
    }
    return 0;
  }
  double Ascent() const { return ascent_; }
  double Descent() const { return descent_; }

 private:
  double level_ = kNaN;
  double ascent_ = 0;
  double descent_ = 0;
};

double MaxSpeedFromPositions(const TrackSeries& Series, const std::vector<double>& Along) {
  const size_t n = Series.Size();
  double best = 0;
  size_t j = 0;
  for (size_t i = 0; i < n; ++i) {
    j = std::max(j, i + 1);
    while (j < n && Seconds(Series.TimeMs[i], Series.TimeMs[j]) < kSpeedWindowS) {
      ++j;
    }
    if (j >= n) {
      break;
    }
    best = std::max(best, (Along[j] - Along[i]) / Seconds(Series.TimeMs[i], Series.TimeMs[j]));
  }
  return best;
}

// The kilometre splits: each interval's time (and moving time and distance) shared out by
// distance among the kilometres it crosses; a point's heart rate and climb count in the
// kilometre it lies in.
struct SplitBuilder {
  struct Open {
    double StartM = 0;
    double TimeS = 0;
    double MovingS = 0;
    double MovingM = 0;
    double HeartRateSum = 0;
    size_t HeartRateCount = 0;
    double AscentM = 0;
  };
  std::vector<Open> Splits{Open{}};

  double EndM() const { return Splits.back().StartM + kSplitM; }

  void AddInterval(double FromM, double ToM, double TimeS, bool Moving) {
    const double length = ToM - FromM;
    double at = FromM;
    while (ToM >= EndM() - kSplitToleranceM) {
      const double end = EndM();
      Share(end - at, length, TimeS, Moving);
      at = end;
      Splits.push_back(Open{end});
    }
    Share(ToM - at, length, TimeS, Moving);
  }

  void Share(double PieceM, double LengthM, double TimeS, bool Moving) {
    // An interval without length (a pause in one place) stays whole where it is.
    const double part = LengthM > 0 ? std::max(0.0, PieceM) / LengthM : 1;
    Open& s = Splits.back();
    s.TimeS += part * TimeS;
    if (Moving) {
      s.MovingS += part * TimeS;
      s.MovingM += part * LengthM;
    }
  }

  // The kilometre whose span (start, end] holds AlongM: a point on a mark ends the kilometre
  // before, as the climb or reading it brings was made on the way there.
  Open& At(double AlongM) {
    const double k = std::ceil((AlongM - kSplitToleranceM) / kSplitM) - 1;
    return Splits[std::min(static_cast<size_t>(std::max(0.0, k)), Splits.size() - 1)];
  }

  std::vector<KmSplit> Finish(double TotalM) {
    if (Splits.size() > 1 && TotalM - Splits.back().StartM < kSplitToleranceM) {
      // The ride ended on a kilometre's mark: what lies past it is rounding.
      const Open rest = Splits.back();
      Splits.pop_back();
      Open& last = Splits.back();
      last.TimeS += rest.TimeS;
      last.MovingS += rest.MovingS;
      last.MovingM += rest.MovingM;
      last.HeartRateSum += rest.HeartRateSum;
      last.HeartRateCount += rest.HeartRateCount;
      last.AscentM += rest.AscentM;
    }
    std::vector<KmSplit> out;
    for (size_t k = 0; k < Splits.size(); ++k) {
      const Open& s = Splits[k];
      KmSplit split;
      split.DistanceM = k + 1 == Splits.size() ? TotalM - s.StartM : kSplitM;
      if (split.DistanceM < kSplitToleranceM) {
        break; // a track that never moved
      }
      split.TimeS = s.TimeS;
      split.MovingSpeedMs = s.MovingS > 0 ? s.MovingM / s.MovingS : 0;
      split.HeartRateAvg =
          s.HeartRateCount > 0 ? s.HeartRateSum / static_cast<double>(s.HeartRateCount) : kNaN;
      split.AscentM = s.AscentM;
      out.push_back(split);
    }
    return out;
  }
};

} // namespace

std::array<double, 5> StatsSettings::ZoneLimitsBpm() const {
  std::array<double, 5> limits{};
  for (size_t z = 0; z < limits.size(); ++z) {
    limits[z] = ZonePercent[z] * MaxHeartRate / 100;
  }
  return limits;
}

TrackStats ComputeTrackStats(const TrackSeries& Series, const StatsSettings& Settings) {
  TrackStats stats;
  const size_t n = Series.Size();
  stats.Points = n;
  if (n == 0) {
    return stats;
  }
  const std::vector<double> along = CumulativeDistanceM(Series);
  stats.DistanceM = along.back();
  stats.DurationS = Seconds(Series.TimeMs.front(), Series.TimeMs.back());

  const std::vector<double>& elevation = Series.Elevation();
  const Summary ele = Summary::Of(elevation, IsValue);
  if (ele.Count > 0) {
    stats.HasElevation = true;
    stats.ElevationIsPressure = Series.ElevationIsPressure();
    stats.ElevationMinM = ele.Min;
    stats.ElevationMaxM = ele.Max;
  }

  const Summary gpsSpeed = Summary::Of(Series.GpsSpeed, IsValue);
  stats.HasGpsSpeed = gpsSpeed.Count > 0;
  stats.GpsSpeedMaxMs = stats.HasGpsSpeed ? gpsSpeed.Max : 0;
  const Summary hr = Summary::Of(Series.HeartRate, IsReading);
  if (hr.Count > 0) {
    stats.HasHeartRate = true;
    stats.HeartRateMin = hr.Min;
    stats.HeartRateAvg = hr.Average();
    stats.HeartRateMax = hr.Max;
  }
  const Summary cadence = Summary::Of(Series.Cadence, IsReading);
  if (cadence.Count > 0) {
    stats.HasCadence = true;
    stats.CadenceAvg = cadence.Average();
    stats.CadenceMax = cadence.Max;
  }
  const Summary sensor = Summary::Of(Series.SensorSpeed, IsValue);
  if (sensor.Count > 0) {
    stats.HasSensorSpeed = true;
    stats.SensorSpeedAvgMs = sensor.Average();
    stats.SensorSpeedMaxMs = sensor.Max;
  }

  const std::array<double, 5> limits = Settings.ZoneLimitsBpm();
  double movingM = 0;
  SplitBuilder splits;
  const bool withSplits = stats.DistanceM <= kMaxSplits * kSplitM;
  for (size_t i = 0; i + 1 < n; ++i) {
    const double dt = Seconds(Series.TimeMs[i], Series.TimeMs[i + 1]);
    const double d = along[i + 1] - along[i];
    const bool recorded = dt > 0 && dt <= kMaxMovingIntervalS;
    const bool moving = recorded && d >= kMinMovingSpeedMs * dt;
    if (moving) {
      stats.MovingTimeS += dt;
      movingM += d;
    }
    // An interval has the heart rate of the point it starts at.
    if (recorded && stats.HasHeartRate && IsReading(Series.HeartRate[i])) {
      const auto zone = std::upper_bound(limits.begin(), limits.end(), Series.HeartRate[i]);
      if (zone != limits.begin()) {
        stats.HeartRateZoneS[static_cast<size_t>(zone - limits.begin() - 1)] += dt;
      }
    }
    if (withSplits) {
      splits.AddInterval(along[i], along[i + 1], std::max(0.0, dt), moving);
    }
  }
  stats.MovingSpeedAvgMs = stats.MovingTimeS > 0 ? movingM / stats.MovingTimeS : 0;
  stats.SpeedMaxMs = MaxSpeedFromPositions(Series, along);

  ClimbCounter climbs;
  for (size_t i = 0; i < n; ++i) {
    const double climb = stats.HasElevation ? climbs.Add(elevation[i]) : 0;
    if (!withSplits) {
      continue;
    }
    auto& split = splits.At(along[i]);
    split.AscentM += climb;
    if (stats.HasHeartRate && IsReading(Series.HeartRate[i])) {
      split.HeartRateSum += Series.HeartRate[i];
      ++split.HeartRateCount;
    }
  }
  stats.AscentM = climbs.Ascent();
  stats.DescentM = climbs.Descent();
  if (withSplits) {
    stats.Splits = splits.Finish(stats.DistanceM);
  }
  return stats;
}

} // namespace tarnwick
