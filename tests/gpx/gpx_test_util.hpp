#pragma once

#include "common/files.hpp"
#include "common/golden.hpp"
#include "common/memory_image.hpp"
#include "common/recording_progress.hpp"
#include "common/run_process.hpp"
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "sim/record_encoder.hpp"
#include "support/date_time.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

/// Model codes of the two families.
inline constexpr uint8_t kGT120 = 0x15;
inline constexpr uint8_t kGT900 = 0x17;

/// 2013-11-24 at the given time of day (or another day of November 2013).
DateTime At(int h, int m, int s, int ms = 0, int day = 24);

/// A fix at Time near Tokyo with the given values.
sim::RecordEncoder::FixRecord Fix(DateTime Time, double Lat = 35.6812345, double Lon = 139.7654321,
                                  double Ele = 40.12, double Speed = 12.3, double Course = 270.5);

/// A GT-900 track point (flags 0x04 make it a way point) with its pressure elevation.
RIGotUPointSlot Point900(const sim::RecordEncoder::FixRecord& F, double PressureEle,
                         uint8_t Flags = 0);
/// A GT-120 track point with a satellite mask of Sats bits.
RIGotUPointSlot Point120(const sim::RecordEncoder::FixRecord& F, int Sats, uint8_t Flags = 0);
/// A heart-rate (0xF5) or cadence (0xF6) record whose sample i is First + i.
RIGotUPointSlot IntRecord(uint8_t Flag, DateTime Start, int First);
/// A speed record whose sample i is First + i / 10.
RIGotUPointSlot SpeedRecord(DateTime Start, double First);

/// Records decoded as the logger would: the point list and its tracks.
struct TestImage {
  std::unique_ptr<TIGotUPoints> Points;
  /// Track Index (from 0).
  const TIGotUTrack& Track(int Index) const { return Points->Tracks()[Index]; }
};
TestImage Decode(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots);

/// The folder with the GPX and TrackPointExtension schemas: $TARNWICK_SCHEMA_DIR, else
/// ../shared/schemas beside the repository; empty when neither exists.
std::optional<std::string> SchemaDir();

/// Number of times Needle occurs in Text.
size_t CountOf(const std::string& Text, const std::string& Needle);

} // namespace tarnwick::test
