#include "logger/points_gt800.hpp"

#include "support/number_format.hpp"

namespace tarnwick {

std::string TIGotUTrackPoint800::DebugString(char DecimalSeparator) const {
  std::string s = TIGotUTrackPoint::DebugString(DecimalSeparator);
  s += " PE=";
  AppendFixed(s, PressureElevation(), 2, DecimalSeparator);
  s += " Spd=";
  AppendFixed(s, Speed(), 2, DecimalSeparator);
  s += " Crs=";
  AppendFixed(s, Course(), 2, DecimalSeparator);
  s += " SMS=" + std::to_string(SMS());
  s += " PSMS=" + std::to_string(PrevSMS());
  return s;
}

PointPtr TIGotUPointList800::CreateTrackPoint(PRIGotUPointSlot Ptr) {
  return MakePoint<TIGotUTrackPoint800>(Ptr);
}

PointPtr TIGotUPointList800::CreateSlotPoint(PRIGotUPointSlot Ptr) {
  switch (TIGotUPointBase::GetFlagsOfPtr(Ptr)) {
  case kFlagLogMessage:
    return MakePoint<TIGotULogMsgPoint>(Ptr);
  case kFlagHeartRate:
  case kFlagCadence:
    return MakePoint<TIGotUExtIntPoint>(Ptr);
  case kFlagSpeed:
    return MakePoint<TIGotUExtDoublePoint>(Ptr);
  default:
    return CreateTrackPoint(Ptr);
  }
}

} // namespace tarnwick
