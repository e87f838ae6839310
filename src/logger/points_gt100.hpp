#pragma once

#include "logger/point_records.hpp"

namespace tarnwick {

/// Track point of the GT-100 family: satellite mask and four single-byte values.
class TIGotUTrackPoint100 : public TIGotUTrackPoint {
 public:
  using TIGotUTrackPoint::TIGotUTrackPoint;

  bool IsWayPoint() const override { return FlagIsWayPoint(); }
  bool IsTrackStart() const override { return FlagIsTrackStart(); }
  std::string DebugString(char DecimalSeparator) const override;
  uint32_t GetSatelliteMap() const override { return GetDWordBE(8); }
  bool HasSatelliteMap() const override { return true; }
  /// Number of bits set in the satellite mask.
  int SatelliteCount() const override;

  uint8_t Timeout() const { return GetByte(28); }
  uint8_t SC() const { return GetByte(29); }
  uint8_t Weight() const { return GetByte(30); }
  uint8_t Qsn() const { return GetByte(31); }

  bool FlagIsRTCCalibration() const { return TestFlag(0x01); }
  bool FlagIsTimeOut() const { return TestFlag(0x02); }
  bool FlagIsWayPoint() const { return TestFlag(0x04); }
  bool FlagIsTrackStop() const { return TestFlag(0x20); }
  bool FlagIsTrackStart() const { return TestFlag(0x40); }
  bool FlagIsDebugMode() const { return TestFlag(0x80); }
};

} // namespace tarnwick
