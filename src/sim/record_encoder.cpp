#include "sim/record_encoder.hpp"

#include "support/byte_order.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick::sim {

namespace {
int32_t Scaled(double value, double scale) {
  return static_cast<int32_t>(std::lround(value * scale));
}
uint16_t ScaledU16(double value, double scale) {
  return static_cast<uint16_t>(std::clamp<long>(std::lround(value * scale), 0, 0xFFFF));
}
} // namespace

void RecordEncoder::SetHeader(RIGotUPointSlot& Slot, uint8_t Flags, DateTime Time) {
  const DateTimeParts p = DecodeDateTime(Time);
  Slot[0] = Flags;
  Slot[1] = static_cast<uint8_t>(((p.Year - 2000) & 0x0F) << 4 | (p.Month & 0x0F));
  PutBE16(Slot, 2, static_cast<uint16_t>(p.Day << 11 | p.Hour << 6 | p.Minute));
  PutBE16(Slot, 4, static_cast<uint16_t>(p.Second * 1000 + p.MilliSecond));
}

namespace {
void PutFix(RIGotUPointSlot& s, uint8_t flags, const RecordEncoder::FixRecord& f) {
  RecordEncoder::SetHeader(s, flags, f.Time);
  PutBE16(s, 6, static_cast<uint16_t>(std::min(ScaledU16(f.EHPE, 100), uint16_t{0x0FFF})));
  PutBE32(s, 12, static_cast<uint32_t>(Scaled(f.Latitude, 1e7)));
  PutBE32(s, 16, static_cast<uint32_t>(Scaled(f.Longitude, 1e7)));
  PutBE32(s, 20, static_cast<uint32_t>(Scaled(f.Elevation, 100)));
  PutBE16(s, 24, ScaledU16(f.Speed, 100));
  PutBE16(s, 26, ScaledU16(f.Course, 100));
}
} // namespace

RIGotUPointSlot RecordEncoder::TrackPoint100(uint8_t Flags, const FixRecord& Fix,
                                             uint32_t SatelliteMap, uint8_t Timeout, uint8_t SC,
                                             uint8_t Weight, uint8_t Qsn) {
  RIGotUPointSlot s{};
  PutFix(s, Flags, Fix);
  PutBE32(s, 8, SatelliteMap);
  s[28] = Timeout;
  s[29] = SC;
  s[30] = Weight;
  s[31] = Qsn;
  return s;
}

RIGotUPointSlot RecordEncoder::TrackPoint800(uint8_t Flags, const FixRecord& Fix,
                                             double PressureElevation, uint16_t PrevSMS) {
  RIGotUPointSlot s{};
  PutFix(s, Flags, Fix);
  PutBE32(s, 8, static_cast<uint32_t>(Scaled(PressureElevation, 100)));
  PutBE16(s, 30, PrevSMS);
  return s;
}

RIGotUPointSlot RecordEncoder::LogMessage(DateTime Time, std::string_view Text, uint16_t PrevSMS) {
  RIGotUPointSlot s{};
  SetHeader(s, kFlagLogMessage, Time);
  const auto n = std::min<size_t>(Text.size(), 24);
  std::copy_n(Text.begin(), n, s.begin() + 6);
  PutBE16(s, 30, PrevSMS);
  return s;
}

RIGotUPointSlot RecordEncoder::ExtInt(uint8_t Flags, DateTime Time,
                                      const std::array<uint8_t, 24>& Values, uint16_t PrevSMS) {
  RIGotUPointSlot s{};
  SetHeader(s, Flags, Time);
  std::copy(Values.begin(), Values.end(), s.begin() + 6);
  PutBE16(s, 30, PrevSMS);
  return s;
}

RIGotUPointSlot RecordEncoder::ExtSpeed(DateTime Time, const std::array<double, 12>& Values,
                                        uint16_t PrevSMS) {
  RIGotUPointSlot s{};
  SetHeader(s, kFlagSpeed, Time);
  for (size_t k = 0; k < Values.size(); ++k) {
    PutLE16(s, 6 + 2 * k, ScaledU16(Values[k], 100));
  }
  PutBE16(s, 30, PrevSMS);
  return s;
}

} // namespace tarnwick::sim
