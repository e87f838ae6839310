#pragma once

#include "logger/point_records.hpp"
#include "support/date_time.hpp"

#include <array>
#include <cstdint>
#include <string_view>

namespace tarnwick::sim {

/// Writes the logger's 32-byte records; the inverse of the decoders in src/logger.
class RecordEncoder {
 public:
  /// Flag byte and the packed date and time of Time (years 2000..2015).
  static void SetHeader(RIGotUPointSlot& Slot, uint8_t Flags, DateTime Time);

  /// Fields common to the track points of both families.
  struct FixRecord {
    DateTime Time = 0;
    double Latitude = 0;
    double Longitude = 0;
    double Elevation = 0;
    double Speed = 0;
    double Course = 0;
    double EHPE = 0;
  };

  /// A GT-100 family track point: flags, fix, satellite mask and the four single bytes.
  static RIGotUPointSlot TrackPoint100(uint8_t Flags, const FixRecord& Fix, uint32_t SatelliteMap,
                                       uint8_t Timeout, uint8_t SC, uint8_t Weight, uint8_t Qsn);
  /// A GT-800/GT-900 track point with its pressure elevation.
  static RIGotUPointSlot TrackPoint800(uint8_t Flags, const FixRecord& Fix,
                                       double PressureElevation, uint16_t PrevSMS);
  /// A log message of up to 24 bytes (longer texts are cut).
  static RIGotUPointSlot LogMessage(DateTime Time, std::string_view Text, uint16_t PrevSMS);
  /// A heart-rate (0xF5) or cadence (0xF6) record of 24 one-byte samples.
  static RIGotUPointSlot ExtInt(uint8_t Flags, DateTime Time, const std::array<uint8_t, 24>& Values,
                                uint16_t PrevSMS);
  /// A speed record (0xF7) of 12 samples, each rounded to hundredths.
  static RIGotUPointSlot ExtSpeed(DateTime Time, const std::array<double, 12>& Values,
                                  uint16_t PrevSMS);
};

} // namespace tarnwick::sim
