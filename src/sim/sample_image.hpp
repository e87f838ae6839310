#pragma once

#include "logger/whole_data.hpp"
#include "support/date_time.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick::sim {

/// The two record families a sample image can have.
enum class SampleFamily {
  GT120, ///< GT-100 family: satellite masks, track-start flags.
  GT900, ///< GT-800/GT-900: pressure elevation, "RESET COUNTER" cuts, sensor records.
};

/// "gt120" or "gt900" (case-sensitive); empty for anything else.
std::optional<SampleFamily> ParseSampleFamily(std::string_view Text);

/// What to generate: the family, the number of records (0 .. 65535) and the seed.
struct SampleSpec {
  // A constructor, so that specs may leave out the later fields.
  SampleSpec(SampleFamily AFamily = SampleFamily::GT120, int APoints = 1000, uint64_t ASeed = 1,
             std::optional<DateTime> AStart = std::nullopt)
      : Family(AFamily), Points(APoints), Seed(ASeed), Start(AStart) {}

  SampleFamily Family = SampleFamily::GT120;
  int Points = 1000;
  uint64_t Seed = 1;
  /// When the first track starts (UTC); by default a morning between 2013-11-24 and
  /// 2014-01-03. The records hold the year in four bits, as a logger does: 2026 is written
  /// as 2010.
  std::optional<DateTime> Start;
  /// When above 0: instead of several tracks, one bike ride of this many hours (at most 1000),
  /// with a fix a second as long as the memory (Points records) holds it, else as many seconds
  /// apart as fit; the GT-900 family records heart rate, cadence and wheel speed through it.
  /// A ride longer than the memory holds even so ends when it is full.
  double RideHours = 0;
};

/// A realistic memory image, the same for the same spec on every machine: several tracks (or
/// one ride, see RideHours) of
/// plausible motion (walks, rides, drives) with elevation, speed, course, EHPE and satellites
/// or pressure elevation, way points, log messages, the family's track cuts, and for the
/// GT-900 family heart-rate, cadence and speed records interleaved in time with the points.
TIGotUWholeData GenerateSampleImage(const SampleSpec& Spec);

} // namespace tarnwick::sim
