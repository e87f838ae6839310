#include "logger/point_records.hpp"

#include "support/dump_text.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace tarnwick {

namespace {
[[noreturn]] void FieldError(const char* what, int value, uint32_t raw, int width) {
  throw AssertionError(fmt::format("Invalid {} {} in {}", what, value, HexStr(raw, width)));
}
} // namespace

TIGotUPointBase::TIGotUPointBase(PRIGotUPointSlot Ptr) {
  std::copy_n(Ptr, kSlotSize, FRawData.begin());
}

bool TIGotUPointBase::IsValidRecord() const {
  return YM() != 0 || DHM() != 0;
}

std::string TIGotUPointBase::DebugString(char /*DecimalSeparator*/) const {
  return BytesToHex(FRawData.data() + 6, kSlotSize - 6);
}

int TIGotUPointBase::Month() const {
  const int m = YM() & 0x0F;
  if (m < 1 || m > 12) {
    FieldError("Month", m, YM(), 2);
  }
  return m;
}

int TIGotUPointBase::Day() const {
  const int d = DHM() >> 11;
  if (d < 1 || d > 31) {
    FieldError("Day", d, DHM(), 4);
  }
  return d;
}

int TIGotUPointBase::Hour() const {
  const int h = (DHM() >> 6) & 0x1F;
  if (h > 23) {
    FieldError("Hour", h, DHM(), 4);
  }
  return h;
}

int TIGotUPointBase::Minute() const {
  const int m = DHM() & 0x3F;
  if (m > 59) {
    FieldError("Minute", m, DHM(), 4);
  }
  return m;
}

int TIGotUPointBase::Second() const {
  const int s = SMS() / 1000;
  if (s > 59) {
    FieldError("Second", s, SMS(), 4);
  }
  return s;
}

DateTime TIGotUPointBase::Time() const {
  const int d = Day();
  const int m = Month();
  const int y = Year();
  const DateTime date = EncodeDate(y, m, d);
  const int ms = MilliSecond();
  const int s = Second();
  const int mi = Minute();
  const int h = Hour();
  return date + EncodeTime(h, mi, s, ms);
}

bool TIGotULogMsgPoint::IsTrackStart() const {
  return LogMessage() == "RESET COUNTER";
}

std::string TIGotULogMsgPoint::LogMessage() const {
  const uint8_t* text = PRawData() + 6;
  const auto* end = std::find(text, text + 24, uint8_t{0});
  // Bytes above 0x7F are taken as Latin-1 and given out as UTF-8, so that every text the
  // program shows or writes is valid UTF-8.
  std::string s;
  s.reserve(static_cast<size_t>(end - text));
  for (const auto* p = text; p != end; ++p) {
    if (*p < 0x80) {
      s += static_cast<char>(*p);
    } else {
      s += static_cast<char>(0xC0 | (*p >> 6));
      s += static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  return s;
}

std::string TIGotULogMsgPoint::DebugString(char /*DecimalSeparator*/) const {
  return fmt::format("\"{}\" SMS={} PSMS={}", LogMessage(), SMS(), PrevSMS());
}

bool TIGotUTrackPoint::IsValidRecord() const {
  return (YM() != 0 || DHM() != 0) && (Late7() != 0 || Lone7() != 0);
}

std::string TIGotUTrackPoint::DebugString(char DecimalSeparator) const {
  std::string s;
  AppendFixed(s, Latitude(), 4, DecimalSeparator);
  s += ':';
  AppendFixed(s, Longitude(), 4, DecimalSeparator);
  s += ' ';
  AppendFixed(s, Elevation(), 2, DecimalSeparator);
  return s;
}

TEptType TIGotUExtPoint::EptType() const {
  switch (Flags()) {
  case kFlagHeartRate:
    return TEptType::eptHR;
  case kFlagCadence:
    return TEptType::eptCadence;
  case kFlagSpeed:
    return TEptType::eptSpeed;
  default:
    throw EIGotUError("Unknown Flag Type for ExtPoint " + HexStr(Flags(), 2));
  }
}

void TIGotUExtPoint::CheckIndex(int Idx) const {
  if (Idx < 0 || Idx >= DataCount()) {
    throw AssertionError("Assertion failed (sample index " + std::to_string(Idx) + ")");
  }
}

int TIGotUExtIntPoint::getIntValues(int Idx) const {
  CheckIndex(Idx);
  return GetByte(6 + Idx);
}

double TIGotUExtDoublePoint::getDoubleValues(int Idx) const {
  CheckIndex(Idx);
  // The one little-endian field of the records.
  return GetLE16(PRawData() + 6 + std::ptrdiff_t{2} * Idx) / 100.0;
}

} // namespace tarnwick
