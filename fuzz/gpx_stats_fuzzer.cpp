// Statistics of the tracks of fuzzed GPX text: whatever positions, times, elevations and samples
// a file holds, the figures are finite where they must be, the splits add up to the distance,
// and no file makes the work or the memory run away.
#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"
#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "gpx_stats_fuzzer: %s\n", What);
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool registered = [] {
    tarnwick::TGPXFile::RegistExtensions(tarnwick::TGPXTrkTypeTpx2::Class());
    return true;
  }();
  (void)registered;

  tarnwick::TGPXFile doc;
  try {
    doc.LoadFromString(std::string(reinterpret_cast<const char*>(Data), Size), "fuzz");
  } catch (const tarnwick::Error&) {
    return 0;
  }
  for (const tarnwick::TrackSeries& series : tarnwick::SeriesOfGpxFile(doc)) {
    const tarnwick::TrackStats s = tarnwick::ComputeTrackStats(series);
    Check(std::isfinite(s.DistanceM) && s.DistanceM >= 0, "distance not finite or negative");
    Check(s.MovingTimeS >= 0 && s.MovingSpeedAvgMs >= 0, "negative moving time or speed");
    Check(std::isfinite(s.SpeedMaxMs) && s.SpeedMaxMs >= 0, "top speed not finite");
    double splits = 0;
    for (const tarnwick::KmSplit& k : s.Splits) {
      Check(k.DistanceM > 0 && k.DistanceM <= 1000 + 1e-6, "a split out of range");
      Check(k.TimeS >= 0, "a split with negative time");
      splits += k.DistanceM;
    }
    Check(s.Splits.empty() || std::fabs(splits - s.DistanceM) <= 1e-6 * (1 + s.DistanceM),
          "the splits do not add up to the distance");
    for (const double z : s.HeartRateZoneS) {
      Check(z >= 0, "negative time in a zone");
    }
  }
  return 0;
}
