#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarnwick {

struct TrackSeries;

/// Where the tracks put a moment: what a photo taken then is tagged with.
struct PositionAtTime {
  enum class Kind {
    Interpolated, ///< between two points of one track at most the allowed gap apart
    Nearest,      ///< the nearest point, within the allowed gap
    OutOfRange    ///< no point near enough; the position is meaningless
  };
  Kind How = Kind::OutOfRange;
  /// Degrees, WGS84.
  double Latitude = 0;
  double Longitude = 0;
  /// Metres, the GPS elevation as the GPX export writes it ("ele"); NaN when the points have none.
  double Elevation = std::numeric_limits<double>::quiet_NaN();
  /// |moment - time of the nearest point|; +inf without any point.
  double SecondsToNearest = std::numeric_limits<double>::infinity();
  /// The nearest point: the track's index in the list given and the point's index in it.
  size_t Track = 0;
  size_t Point = 0;
};

/// The points of some tracks sorted by time once, so that many moments (one per photo) are
/// looked up in logarithmic time. Points without a time or a position are left out; points
/// recorded out of time order do no harm. Interpolation never joins two tracks: the gap
/// between two trips is not a path travelled.
class TrackTimeIndex {
 public:
  TrackTimeIndex() = default;
  explicit TrackTimeIndex(const std::vector<TrackSeries>& Tracks);

  /// Linear interpolation in time between the two points of one track around TimeMs when
  /// they are at most MaxGapSeconds apart (longitude across the antimeridian the short way);
  /// else the nearest point of any track when within MaxGapSeconds; else OutOfRange. When
  /// tracks overlap in time, the track with the nearer point wins.
  PositionAtTime Find(int64_t TimeMs, double MaxGapSeconds) const;
  /// The same in track Track alone (an index into the tracks given); OutOfRange for a track
  /// that is not there.
  PositionAtTime FindInTrack(size_t Track, int64_t TimeMs, double MaxGapSeconds) const;

  /// Whether no track has a point with a time and a position.
  bool Empty() const { return points_ == 0; }

 private:
  struct Entry {
    int64_t TimeMs;
    size_t Point;
    double Latitude;
    double Longitude;
    double Elevation;
  };
  PositionAtTime FindIn(size_t First, size_t Last, int64_t TimeMs, double MaxGapSeconds) const;

  std::vector<std::vector<Entry>> tracks_;
  size_t points_ = 0;
};

/// One look-up without keeping an index; see TrackTimeIndex::Find.
PositionAtTime FindPositionAtTime(const std::vector<TrackSeries>& Tracks, int64_t TimeMs,
                                  double MaxGapSeconds);

} // namespace tarnwick
