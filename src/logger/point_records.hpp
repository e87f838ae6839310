#pragma once

#include "support/byte_order.hpp"
#include "support/date_time.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace tarnwick {

/// Bytes in one point record.
inline constexpr int kSlotSize = 32;

/// One raw 32-byte record of the point memory.
using RIGotUPointSlot = std::array<uint8_t, kSlotSize>;
/// Points to the first byte of one 32-byte slot inside a data buffer.
using PRIGotUPointSlot = const uint8_t*;

/// Flag bytes of the record kinds that are not track points.
inline constexpr uint8_t kFlagLogMessage = 0xF1;
inline constexpr uint8_t kFlagHeartRate = 0xF5;
inline constexpr uint8_t kFlagCadence = 0xF6;
inline constexpr uint8_t kFlagSpeed = 0xF7;

class TIGotUTrackPoint;
class TIGotUExtPoint;
class TIGotULogMsgPoint;

/// The common header of every record: flag byte, date and time. Keeps a copy of its 32 bytes
/// and decodes each value on every call; nothing is checked when the object is made.
class TIGotUPointBase {
 public:
  explicit TIGotUPointBase(PRIGotUPointSlot Ptr);
  virtual ~TIGotUPointBase() = default;

  /// True when YM or DHM is non-zero.
  virtual bool IsValidRecord() const;
  virtual bool IsTrackPoint() const { return false; }
  virtual bool IsWayPoint() const { return false; }
  virtual bool IsTrackStart() const { return false; }
  /// Text for the raw-record dump; numbers use DecimalSeparator.
  virtual std::string DebugString(char DecimalSeparator) const;

  /// This record as a track point, log message or extension record, or null.
  virtual const TIGotUTrackPoint* AsTrackPoint() const { return nullptr; }
  virtual const TIGotULogMsgPoint* AsLogMsgPoint() const { return nullptr; }
  virtual const TIGotUExtPoint* AsExtPoint() const { return nullptr; }

  /// The first byte of a slot, read before any object exists.
  static uint8_t GetFlagsOfPtr(PRIGotUPointSlot Ptr) { return Ptr[0]; }

  uint8_t Flags() const { return FRawData[0]; }
  /// Bits 7..4: year - 2000; bits 3..0: month.
  uint8_t YM() const { return FRawData[1]; }
  /// Bits 15..11: day; 10..6: hour; 5..0: minute.
  uint16_t DHM() const { return GetWordBE(2); }
  /// Second x 1000 + millisecond.
  uint16_t SMS() const { return GetWordBE(4); }
  /// The record's own 32 bytes.
  const uint8_t* PRawData() const { return FRawData.data(); }

  /// The year base (2000 + 16k) added to the four year bits, as the year era of the
  /// decoded data reads them; 2000 as recorded.
  int YearBase() const { return yearBase_; }
  void SetYearBase(int Base) { yearBase_ = static_cast<int16_t>(Base); }
  /// YearBase + the four year bits: 2000 .. 2015 as recorded.
  int Year() const { return yearBase_ + (YM() >> 4); }
  /// Raises AssertionError "Invalid Month %d in %2.2x" outside 1..12.
  int Month() const;
  /// Raises AssertionError "Invalid Day %d in %4.4x" outside 1..31.
  int Day() const;
  /// Raises AssertionError "Invalid Hour %d in %4.4x" above 23.
  int Hour() const;
  /// Raises AssertionError "Invalid Minute %d in %4.4x" above 59.
  int Minute() const;
  /// Raises AssertionError "Invalid Second %d in %4.4x" above 59.
  int Second() const;
  int MilliSecond() const { return SMS() % 1000; }
  /// Date and time of the record as the logger's clock recorded it. Raises the field errors
  /// above (the first in the order day, month, year, millisecond, second, minute, hour) or
  /// ConvertError for a date that does not exist (30 February).
  DateTime Time() const;

 protected:
  /// False when the upper four flag bits are all set; otherwise whether Flags and Mask meet.
  bool TestFlag(uint8_t Mask) const { return (Flags() & 0xF0) != 0xF0 && (Flags() & Mask) != 0; }
  uint8_t GetByte(int Pos) const { return FRawData[Pos]; }
  uint16_t GetWordBE(int Pos) const { return GetBE16(FRawData.data() + Pos); }
  uint32_t GetDWordBE(int Pos) const { return GetBE32(FRawData.data() + Pos); }
  int32_t GetIntBE(int Pos) const { return static_cast<int32_t>(GetDWordBE(Pos)); }

 private:
  RIGotUPointSlot FRawData;
  int16_t yearBase_ = 2000;
};

/// A short text message (flag 0xF1); "RESET COUNTER" starts a new track.
class TIGotULogMsgPoint : public TIGotUPointBase {
 public:
  using TIGotUPointBase::TIGotUPointBase;

  bool IsTrackStart() const override;
  std::string DebugString(char DecimalSeparator) const override;
  const TIGotULogMsgPoint* AsLogMsgPoint() const override { return this; }

  /// Bytes 6..29 up to the first zero byte, as UTF-8 (bytes above 0x7F read as Latin-1).
  std::string LogMessage() const;
  uint16_t PrevSMS() const { return GetWordBE(30); }
};

/// A position fix; the model variants add their own fields.
class TIGotUTrackPoint : public TIGotUPointBase {
 public:
  using TIGotUPointBase::TIGotUPointBase;

  /// A date and a position other than exactly 0, 0.
  bool IsValidRecord() const override;
  bool IsTrackPoint() const override { return true; }
  std::string DebugString(char DecimalSeparator) const override;
  const TIGotUTrackPoint* AsTrackPoint() const override { return this; }

  virtual uint32_t GetSatelliteMap() const { return 0; }
  virtual double PressureElevation() const { return 0; }
  virtual bool HasSatelliteMap() const { return false; }
  virtual bool HasPressureElevation() const { return false; }
  virtual int SatelliteCount() const { return 0; }

  uint16_t AAAAE() const { return GetWordBE(6); }
  uint16_t Speede2() const { return GetWordBE(24); }
  uint16_t Coursee2() const { return GetWordBE(26); }
  int32_t Late7() const { return GetIntBE(12); }
  int32_t Lone7() const { return GetIntBE(16); }
  int32_t Eleve2() const { return GetIntBE(20); }
  uint32_t SatelliteMap() const { return GetSatelliteMap(); }

  double EHPE() const { return (AAAAE() & 0x0FFF) / 100.0; }
  double Latitude() const { return Late7() / 10'000'000.0; }
  double Longitude() const { return Lone7() / 10'000'000.0; }
  double Elevation() const { return Eleve2() / 100.0; }
  double Speed() const { return Speede2() / 100.0; }
  double Course() const { return Coursee2() / 100.0; }
};

/// Kinds of extension records.
enum class TEptType { eptHR = 1, eptCadence = 2, eptSpeed = 3 };

/// A block of sensor samples, one per second from the record's Time.
class TIGotUExtPoint : public TIGotUPointBase {
 public:
  using TIGotUPointBase::TIGotUPointBase;

  const TIGotUExtPoint* AsExtPoint() const override { return this; }
  /// Number of samples the record holds.
  virtual int DataCount() const = 0;

  /// From the flag byte; raises EIGotUError "Unknown Flag Type for ExtPoint %2.2x" otherwise.
  TEptType EptType() const;
  uint16_t PrevSMS() const { return GetWordBE(30); }

 protected:
  /// Raises AssertionError unless 0 <= Idx < DataCount.
  void CheckIndex(int Idx) const;
};

/// Heart-rate or cadence samples: 24 values of 8 bits.
class TIGotUExtIntPoint : public TIGotUExtPoint {
 public:
  using TIGotUExtPoint::TIGotUExtPoint;
  int DataCount() const override { return 24; }
  int getIntValues(int Idx) const;
};

/// Speed samples: 12 values of 16 bits, low byte first, in hundredths.
class TIGotUExtDoublePoint : public TIGotUExtPoint {
 public:
  using TIGotUExtPoint::TIGotUExtPoint;
  int DataCount() const override { return 12; }
  double getDoubleValues(int Idx) const;
};

} // namespace tarnwick
