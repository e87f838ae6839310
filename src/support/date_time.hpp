#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Days since 1899-12-30 00:00:00.000; the fraction is the time of day. No time zone.
using DateTime = double;

/// A date-time value taken apart (after rounding to the nearest whole millisecond).
struct DateTimeParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MilliSecond = 0;
};

/// True for years 1..9999 and a day that exists in the proleptic Gregorian calendar.
bool IsValidDate(int Year, int Month, int Day);

/// Date value of Year-Month-Day; raises ConvertError for an invalid date.
DateTime EncodeDate(int Year, int Month, int Day);

/// Fraction of a day; raises ConvertError unless Hour < 24, Minute < 60, Second < 60,
/// MilliSecond < 1000 and none is negative.
DateTime EncodeTime(int Hour, int Minute, int Second, int MilliSecond);

/// Whole milliseconds since 1899-12-30, rounded to the nearest (halves to even).
int64_t DateTimeToMilliseconds(DateTime Value);

/// Takes Value apart: rounded to whole milliseconds first, so 23:59:59.9996 is the next day.
DateTimeParts DecodeDateTime(DateTime Value);

/// Formats Value with a pattern of the tokens yyyy, mm, dd, hh, nn, ss and zzz
/// (year, month, day, hour, minute, second, millisecond, zero-padded); other characters
/// are copied. "yyyy-mm-dd hh:nn:ss" gives 2013-11-24 06:21:52.
std::string FormatDateTime(std::string_view Pattern, DateTime Value);

/// A UTC moment as an ISO 8601 text with the "Z" designator, to whole seconds:
/// 2026-12-10T05:27:08Z.
std::string FormatIsoUtc(DateTime Value);
/// Reads exactly the form FormatIsoUtc writes (a fraction of a second is accepted); nothing for
/// any other text or a date that does not exist.
std::optional<DateTime> TryParseIsoUtc(std::string_view Text);

/// The texts and parsers of date-time values; every operation is class-level.
class TUTCDateTime {
 public:
  TUTCDateTime() = delete;

  /// "%4.4d-%2.2d-%2.2d": 2013-11-04.
  static std::string YMDToDateStr(int y, int m, int d);
  /// hh:mm:ss.zzz with hours not limited to 23: 06:21:52.005.
  static std::string HMSToTimeStr(int64_t h, int min, int sec, int ms);
  static std::string DateToDateStr(DateTime Value);
  static std::string TimeToStr(DateTime Value);
  /// Date, one blank, time: 2013-11-24 06:21:52.500.
  static std::string DateTimeToStr(DateTime Value);
  /// Date, "T", time, no zone designator: 2013-11-24T06:21:52.500.
  static std::string DateTimeToUTCStr(DateTime Value);
  /// A duration in seconds as hh:mm:ss.zzz (hours grow past 23); "??:??:??:???" below zero.
  static std::string DoubleToTimeStr(double Value);
  /// Seconds in base-60 groups of any count: 62 gives 01:02.000.
  static std::string FormatOfsTime(double OfsTime);

  static double HMSToTimeOffset(int h, int min, int sec, int ms);
  /// Seconds since midnight of the value's day.
  static double DateTime2TimeOffset(DateTime Value);
  /// Signed seconds from D2 to D1, unrounded.
  static double DiffTimeOffset(DateTime D1, DateTime D2);
  static void SecondsToHMS(int64_t V, int& h, int& min, int& sec);
  /// Time of day of V seconds; raises ConvertError outside 0..86399.
  static DateTime SecondsToDateTime(int64_t V);
  static DateTime YMDToDate(int y, int m, int d);

  /// Splits at "-" into year, month, day; raises ConvertError unless three decimal integers.
  static void DateStrToYMD(std::string_view S, int& y, int& m, int& d);
  static DateTime DateStrToDate(std::string_view S);
  /// Reads [hh[:mm[:ss]]][.fff], dropping a zone designator; only the hour must be readable.
  static void TimeStrToHMS(std::string_view S, int& h, int& min, int& sec, int& ms);
  static DateTime TimeStrToTime(std::string_view S);
  /// Seconds of TimeStrToHMS without a range check (24:00:00 gives 86400).
  static double TimeStrToDouble(std::string_view S);
  /// A date, then "T" or a blank, then a time; a zone designator is dropped, not applied.
  static DateTime StrToDateTime(std::string_view S);
  /// YYYYMMDD; characters after the eighth are ignored.
  static DateTime Y4M2D2ToDate(std::string_view S);
};

} // namespace tarnwick
