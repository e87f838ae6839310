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

std::unique_ptr<TIGotUPointBase> TIGotUPointList800::CreateTrackPoint(PRIGotUPointSlot Ptr) const {
  return std::make_unique<TIGotUTrackPoint800>(Ptr);
}

std::unique_ptr<TIGotUPointBase> TIGotUPointList800::CreateSlotPoint(PRIGotUPointSlot Ptr) const {
  switch (TIGotUPointBase::GetFlagsOfPtr(Ptr)) {
  case kFlagLogMessage:
    return std::make_unique<TIGotULogMsgPoint>(Ptr);
  case kFlagHeartRate:
  case kFlagCadence:
    return std::make_unique<TIGotUExtIntPoint>(Ptr);
  case kFlagSpeed:
    return std::make_unique<TIGotUExtDoublePoint>(Ptr);
  default:
    return CreateTrackPoint(Ptr);
  }
}

} // namespace tarnwick
