#include "analysis/position_at_time.hpp"

#include "analysis/track_series.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

bool IsPosition(double Latitude, double Longitude) {
  return std::isfinite(Latitude) && std::isfinite(Longitude) && std::abs(Latitude) <= 90 &&
         std::abs(Longitude) <= 180;
}

double SecondsBetween(int64_t A, int64_t B) {
  return std::abs(static_cast<double>(A - B)) / 1000;
}

// Longitude from A to B the short way: a track crossing the antimeridian goes from 179.9 to
// -179.9 in one step, not across the whole globe.
double InterpolateLongitude(double A, double B, double F) {
  double d = B - A;
  if (d > 180) {
    d -= 360;
  } else if (d < -180) {
    d += 360;
  }
  double v = A + d * F;
  if (v > 180) {
    v -= 360;
  } else if (v < -180) {
    v += 360;
  }
  return v;
}

} // namespace

TrackTimeIndex::TrackTimeIndex(const std::vector<TrackSeries>& Tracks) {
  tracks_.resize(Tracks.size());
  for (size_t t = 0; t < Tracks.size(); ++t) {
    const TrackSeries& s = Tracks[t];
    const size_t n = std::min({s.TimeMs.size(), s.Latitude.size(), s.Longitude.size()});
    std::vector<Entry>& e = tracks_[t];
    e.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      // A GPX point without a time reads as 0: it cannot be placed in time.
      if (s.TimeMs[i] == 0 || !IsPosition(s.Latitude[i], s.Longitude[i])) {
        continue;
      }
      const double ele = i < s.GpsElevation.size() ? s.GpsElevation[i] : std::nan("");
      e.push_back({s.TimeMs[i], i, s.Latitude[i], s.Longitude[i], ele});
    }
    // Stable, so that of points with equal times the first recorded stays first.
    std::stable_sort(e.begin(), e.end(),
                     [](const Entry& A, const Entry& B) { return A.TimeMs < B.TimeMs; });
    points_ += e.size();
  }
}

PositionAtTime TrackTimeIndex::Find(int64_t TimeMs, double MaxGapSeconds) const {
  return FindIn(0, tracks_.size(), TimeMs, MaxGapSeconds);
}

PositionAtTime TrackTimeIndex::FindInTrack(size_t Track, int64_t TimeMs,
                                           double MaxGapSeconds) const {
  if (Track >= tracks_.size()) {
    return {};
  }
  return FindIn(Track, Track + 1, TimeMs, MaxGapSeconds);
}

PositionAtTime TrackTimeIndex::FindIn(size_t First, size_t Last, int64_t TimeMs,
                                      double MaxGapSeconds) const {
  PositionAtTime best;    // the best interpolation so far
  PositionAtTime nearest; // the nearest point so far
  for (size_t t = First; t < Last; ++t) {
    const std::vector<Entry>& e = tracks_[t];
    if (e.empty()) {
      continue;
    }
    const auto after = std::lower_bound(e.begin(), e.end(), TimeMs,
                                        [](const Entry& A, int64_t T) { return A.TimeMs < T; });
    const Entry* hi = after == e.end() ? nullptr : &*after;
    const Entry* lo = after == e.begin() ? nullptr : &*(after - 1);
    // The nearer of the two; on a tie the later point, as exiftool takes it.
    const Entry* near = hi;
    if (hi == nullptr || (lo != nullptr && SecondsBetween(TimeMs, lo->TimeMs) <
                                               SecondsBetween(TimeMs, hi->TimeMs))) {
      near = lo;
    }
    const double toNear = SecondsBetween(TimeMs, near->TimeMs);
    PositionAtTime atNear;
    atNear.How = PositionAtTime::Kind::Nearest;
    atNear.Latitude = near->Latitude;
    atNear.Longitude = near->Longitude;
    atNear.Elevation = near->Elevation;
    atNear.SecondsToNearest = toNear;
    atNear.Track = t;
    atNear.Point = near->Point;
    if (toNear < nearest.SecondsToNearest) {
      nearest = atNear;
    }
    PositionAtTime p;
    if (toNear == 0) {
      // On a point: its position, whatever the gaps around it.
      p = atNear;
      p.How = PositionAtTime::Kind::Interpolated;
    } else if (lo != nullptr && hi != nullptr &&
               SecondsBetween(hi->TimeMs, lo->TimeMs) <= MaxGapSeconds) {
      const double f =
          static_cast<double>(TimeMs - lo->TimeMs) / static_cast<double>(hi->TimeMs - lo->TimeMs);
      p.How = PositionAtTime::Kind::Interpolated;
      p.Latitude = lo->Latitude + (hi->Latitude - lo->Latitude) * f;
      p.Longitude = InterpolateLongitude(lo->Longitude, hi->Longitude, f);
      // A point without an elevation lends the other's rather than losing the altitude.
      if (std::isfinite(lo->Elevation) && std::isfinite(hi->Elevation)) {
        p.Elevation = lo->Elevation + (hi->Elevation - lo->Elevation) * f;
      } else {
        p.Elevation =
            std::isfinite(near->Elevation) ? near->Elevation : (near == lo ? hi : lo)->Elevation;
      }
      p.SecondsToNearest = toNear;
      p.Track = t;
      p.Point = near->Point;
    } else {
      continue;
    }
    if (best.How != PositionAtTime::Kind::Interpolated ||
        p.SecondsToNearest < best.SecondsToNearest) {
      best = p;
    }
  }
  if (best.How == PositionAtTime::Kind::Interpolated) {
    return best;
  }
  if (nearest.SecondsToNearest <= MaxGapSeconds) {
    return nearest;
  }
  PositionAtTime out;
  out.SecondsToNearest = nearest.SecondsToNearest;
  out.Track = nearest.Track;
  out.Point = nearest.Point;
  return out;
}

PositionAtTime FindPositionAtTime(const std::vector<TrackSeries>& Tracks, int64_t TimeMs,
                                  double MaxGapSeconds) {
  return TrackTimeIndex(Tracks).Find(TimeMs, MaxGapSeconds);
}

} // namespace tarnwick
