#pragma once

#include "logger/point_list.hpp"
#include "logger/point_records.hpp"

namespace tarnwick {

/// Track point of the GT-800/GT-900 family: pressure elevation instead of satellites; it
/// never starts a track (only "RESET COUNTER" messages cut these models' tracks).
class TIGotUTrackPoint800 : public TIGotUTrackPoint {
 public:
  using TIGotUTrackPoint::TIGotUTrackPoint;

  bool IsWayPoint() const override { return TestFlag(0x04); }
  bool IsTrackStart() const override { return false; }
  std::string DebugString(char DecimalSeparator) const override;
  double PressureElevation() const override { return PEleve2() / 100.0; }
  bool HasPressureElevation() const override { return true; }

  int32_t PEleve2() const { return GetIntBE(8); }
  uint16_t PrevSMS() const { return GetWordBE(30); }
};

/// Point list of the GT-800/GT-900 family: also decodes heart-rate, cadence and speed records.
class TIGotUPointList800 : public TIGotUPointList {
 public:
  PointPtr CreateTrackPoint(PRIGotUPointSlot Ptr) override;
  PointPtr CreateSlotPoint(PRIGotUPointSlot Ptr) override;
};

} // namespace tarnwick
