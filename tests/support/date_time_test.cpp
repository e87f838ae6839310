#include "support/date_time.hpp"
#include "support/errors.hpp"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace tarnwick {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

TEST(DateTime, EpochAndKnownDates) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2013, 11, 24), 41602.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", 0), "1899-12-30 00:00:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", At(2013, 11, 24, 6, 21, 52, 45)),
            "2013-11-24 06:21:52.045");
  EXPECT_EQ(FormatDateTime("yyyymmdd-hhnn", At(2013, 1, 5, 9, 7, 0, 0)), "20130105-0907");
}

TEST(DateTime, DecodeRoundsToMillisecondsFirst) {
  const DateTime beforeMidnight = EncodeDate(2013, 12, 31) + (86400000 - 0.4) / 86400000.0;
  EXPECT_EQ(TUTCDateTime::DateTimeToUTCStr(beforeMidnight), "2014-01-01T00:00:00.000");
  const auto p = DecodeDateTime(At(2016, 2, 29, 23, 59, 59, 999));
  EXPECT_EQ(p.Year, 2016);
  EXPECT_EQ(p.Month, 2);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.MilliSecond, 999);
}

// Taking a value apart gives back the date it was made from, across eras, centuries, leap days
// and the turn of the Unix epoch (the day count changes sign there).
TEST(DateTime, DecodeIsTheInverseOfEncode) {
  const struct {
    int Year, Month, Day;
  } dates[] = {{1, 1, 1},     {1, 12, 31},  {400, 2, 29},   {1582, 10, 15}, {1899, 12, 30},
               {1900, 2, 28}, {1900, 3, 1}, {1969, 12, 31}, {1970, 1, 1},   {1970, 3, 1},
               {2000, 2, 29}, {2000, 3, 1}, {2100, 2, 28},  {2100, 3, 1},   {9999, 12, 31}};
  for (const auto& d : dates) {
    const auto p = DecodeDateTime(At(d.Year, d.Month, d.Day, 13, 14, 15, 16));
    EXPECT_EQ(p.Year, d.Year);
    EXPECT_EQ(p.Month, d.Month) << d.Year << "-" << d.Month << "-" << d.Day;
    EXPECT_EQ(p.Day, d.Day) << d.Year << "-" << d.Month << "-" << d.Day;
    EXPECT_EQ(p.Hour, 13);
    EXPECT_EQ(p.Minute, 14);
    EXPECT_EQ(p.Second, 15);
    EXPECT_EQ(p.MilliSecond, 16);
  }
  // Every day of three years around a century leap year follows the one before it.
  DateTimeParts previous = DecodeDateTime(EncodeDate(1998, 12, 31));
  for (double day = EncodeDate(1999, 1, 1); day <= EncodeDate(2001, 12, 31); ++day) {
    const DateTimeParts p = DecodeDateTime(day);
    const bool nextDay =
        p.Year == previous.Year && p.Month == previous.Month && p.Day == previous.Day + 1;
    const bool nextMonth = p.Year == previous.Year && p.Month == previous.Month + 1 && p.Day == 1;
    const bool nextYear = p.Year == previous.Year + 1 && p.Month == 1 && p.Day == 1;
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << p.Year << "-" << p.Month << "-" << p.Day;
    ASSERT_TRUE(IsValidDate(p.Year, p.Month, p.Day));
    previous = p;
  }
  EXPECT_EQ(previous.Year, 2001);
  EXPECT_EQ(previous.Month, 12);
  EXPECT_EQ(previous.Day, 31);
}

// The UTC text is assembled by hand for speed; it must be what the pattern formatter gives.
TEST(DateTime, UtcTextIsThePatternText) {
  std::vector<DateTime> values = {EncodeDate(1, 1, 1),
                                  EncodeDate(9999, 12, 31) + 0.999999,
                                  0,
                                  -0.5,
                                  At(2013, 12, 31, 23, 59, 59, 999) + 0.6 / 86400000.0,
                                  At(2016, 2, 29, 12, 0, 0, 5),
                                  At(1900, 3, 1, 0, 0, 0, 0) - 1e-9};
  uint64_t x = 0x2545F4914F6CDD1DULL;
  for (int i = 0; i < 1000000; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    // Any instant of the years 1 to 9999.
    values.push_back(EncodeDate(1, 1, 1) +
                     static_cast<double>(x >> 11) / 9007199254740992.0 * 3652058.0);
  }
  for (const DateTime v : values) {
    ASSERT_EQ(TUTCDateTime::DateTimeToUTCStr(v), FormatDateTime("yyyy-mm-ddThh:nn:ss.zzz", v)) << v;
  }
}

TEST(DateTime, ValidDatesAndLeapYears) {
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2012, 2, 29));
  EXPECT_FALSE(IsValidDate(2013, 2, 29));
  EXPECT_FALSE(IsValidDate(2013, 4, 31));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_THROW(EncodeDate(2013, 2, 30), ConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), ConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), ConvertError);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), ConvertError);
}

TEST(DateTime, FormattingOperations) {
  EXPECT_EQ(TUTCDateTime::YMDToDateStr(2013, 11, 4), "2013-11-04");
  EXPECT_EQ(TUTCDateTime::HMSToTimeStr(6, 21, 52, 5), "06:21:52.005");
  EXPECT_EQ(TUTCDateTime::HMSToTimeStr(125, 0, 0, 0), "125:00:00.000");
  const DateTime t = At(2013, 11, 24, 6, 21, 52, 500);
  EXPECT_EQ(TUTCDateTime::DateTimeToStr(t), "2013-11-24 06:21:52.500");
  EXPECT_EQ(TUTCDateTime::DateTimeToUTCStr(At(2013, 11, 24, 6, 21, 52, 5)),
            "2013-11-24T06:21:52.005");
  EXPECT_EQ(TUTCDateTime::DateTimeToUTCStr(EncodeDate(2013, 11, 24)), "2013-11-24T00:00:00.000");
  EXPECT_EQ(TUTCDateTime::DateToDateStr(t), "2013-11-24");
  EXPECT_EQ(TUTCDateTime::TimeToStr(t), "06:21:52.500");
}

TEST(DateTime, DurationTexts) {
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(0), "00:00:00.000");
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(3723.5), "01:02:03.500");
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(3723), "01:02:03.000");
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(90000), "25:00:00.000");
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(-0.001), "??:??:??:???");
  EXPECT_EQ(TUTCDateTime::DoubleToTimeStr(1e300), "??:??:??:???");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(0), "00.000");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(5.25), "05.250");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(62), "01:02.000");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(3723.5), "01:02:03.500");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(86400), "24:00:00.000");
  EXPECT_EQ(TUTCDateTime::FormatOfsTime(216000), "01:00:00:00.000");
}

TEST(DateTime, Arithmetic) {
  EXPECT_DOUBLE_EQ(TUTCDateTime::HMSToTimeOffset(1, 2, 3, 500), 3723.5);
  EXPECT_DOUBLE_EQ(TUTCDateTime::DateTime2TimeOffset(At(2013, 11, 24, 1, 2, 3, 500)), 3723.5);
  EXPECT_NEAR(
      TUTCDateTime::DiffTimeOffset(At(2013, 11, 24, 0, 0, 10, 0), At(2013, 11, 24, 0, 0, 0, 0)),
      10.0, 1e-6);
  int h = 0;
  int m = 0;
  int s = 0;
  TUTCDateTime::SecondsToHMS(3725, h, m, s);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(s, 5);
  EXPECT_EQ(TUTCDateTime::SecondsToDateTime(3600), 1.0 / 24);
  EXPECT_THROW(TUTCDateTime::SecondsToDateTime(86400), ConvertError);
  EXPECT_THROW(TUTCDateTime::SecondsToDateTime(-1), ConvertError);
  EXPECT_EQ(TUTCDateTime::Y4M2D2ToDate("20131124xyz"), EncodeDate(2013, 11, 24));
  EXPECT_THROW(TUTCDateTime::Y4M2D2ToDate("2013AB24"), ConvertError);
  EXPECT_THROW(TUTCDateTime::Y4M2D2ToDate("2013"), ConvertError);
}

TEST(DateTime, ParsesFullDateTimes) {
  const DateTime expected = At(2013, 11, 24, 6, 21, 52, 500);
  EXPECT_EQ(TUTCDateTime::StrToDateTime("2013-11-24T06:21:52.500Z"), expected);
  EXPECT_EQ(TUTCDateTime::StrToDateTime("2013-11-24 06:21:52.5"), expected);
  EXPECT_EQ(TUTCDateTime::StrToDateTime("2013-11-24 06:21:52"), At(2013, 11, 24, 6, 21, 52, 0));
  // A zone designator is dropped, never applied.
  EXPECT_EQ(TUTCDateTime::StrToDateTime("2013-11-24T06:21:52+09:00"),
            At(2013, 11, 24, 6, 21, 52, 0));
  EXPECT_EQ(TUTCDateTime::StrToDateTime("2013-11-24T06:21:52-05:00"),
            At(2013, 11, 24, 6, 21, 52, 0));
  // Round trip of the writer's own texts.
  EXPECT_EQ(TUTCDateTime::StrToDateTime(TUTCDateTime::DateTimeToUTCStr(expected)), expected);
}

TEST(DateTime, RejectsBrokenDateTimes) {
  for (const char* text :
       {"2013-11-24", "2013-11T10:00:00", "2013-02-30T10:00:00", "", "T", "xx-11-24T10:00:00",
        "2013-11-24Txx:00:00", "2013-11-24T24:00:00", "2013-11-24T10:60:00",
        "99999999999-1-1T00:00:00", "2013-11-24T99999999999:00:00"}) {
    EXPECT_THROW(TUTCDateTime::StrToDateTime(text), ConvertError) << text;
  }
}

TEST(DateTime, TimeTextsAreLenientBeyondTheHour) {
  int h = -1;
  int m = -1;
  int s = -1;
  int ms = -1;
  TUTCDateTime::TimeStrToHMS("06", h, m, s, ms);
  EXPECT_EQ((std::array{h, m, s, ms}), (std::array{6, 0, 0, 0}));
  TUTCDateTime::TimeStrToHMS("06:xx:10", h, m, s, ms);
  EXPECT_EQ((std::array{h, m, s, ms}), (std::array{6, 0, 10, 0}));
  TUTCDateTime::TimeStrToHMS("06:21:52.123456", h, m, s, ms);
  EXPECT_EQ(ms, 123);
  TUTCDateTime::TimeStrToHMS("06:21:52.05", h, m, s, ms);
  EXPECT_EQ(ms, 50);
  TUTCDateTime::TimeStrToHMS("06:21:52.005", h, m, s, ms);
  EXPECT_EQ(ms, 5);
  TUTCDateTime::TimeStrToHMS("06:21:52.5Z", h, m, s, ms);
  EXPECT_EQ(ms, 500);
  EXPECT_THROW(TUTCDateTime::TimeStrToHMS("xx:00:00", h, m, s, ms), ConvertError);
  EXPECT_THROW(TUTCDateTime::TimeStrToTime("24:00:00"), ConvertError);
  EXPECT_DOUBLE_EQ(TUTCDateTime::TimeStrToDouble("24:00:00"), 86400);
  EXPECT_DOUBLE_EQ(TUTCDateTime::TimeStrToDouble("125:30:00.250"), 125 * 3600 + 1800.25);
}

TEST(DateTime, DateTexts) {
  int y = 0;
  int m = 0;
  int d = 0;
  TUTCDateTime::DateStrToYMD("2013-11-24", y, m, d);
  EXPECT_EQ((std::array{y, m, d}), (std::array{2013, 11, 24}));
  EXPECT_THROW(TUTCDateTime::DateStrToYMD("2013-11-24-x", y, m, d), ConvertError);
  EXPECT_THROW(TUTCDateTime::DateStrToYMD("2013-11", y, m, d), ConvertError);
  EXPECT_THROW(TUTCDateTime::DateStrToDate("2013-13-01"), ConvertError);
  EXPECT_EQ(TUTCDateTime::YMDToDate(2000, 2, 29), EncodeDate(2000, 2, 29));
}

TEST(DateTime, IsoUtcTexts) {
  const DateTime t = EncodeDate(2026, 12, 10) + EncodeTime(5, 27, 8, 999);
  EXPECT_EQ(FormatIsoUtc(t), "2026-12-10T05:27:08Z");
  EXPECT_EQ(TryParseIsoUtc("2026-12-10T05:27:08Z"),
            EncodeDate(2026, 12, 10) + EncodeTime(5, 27, 8, 0));
  EXPECT_EQ(TryParseIsoUtc("2026-12-10T05:27:08.25Z"),
            EncodeDate(2026, 12, 10) + EncodeTime(5, 27, 8, 250));
  for (const char* bad :
       {"", "2026-12-10", "2026-12-10T05:27:08", "2026-12-10 05:27:08Z", "2026-12-10T05:27:08z",
        "2026-13-10T05:27:08Z", "2026-02-29T00:00:00Z", "2026-12-10T24:00:00Z",
        "2026-12-10T05:60:00Z", "2026-12-10T05:27:60Z", "2026-12-10T05:27:08.Z",
        "2026-12-10T05:27:08Z ", "+026-12-10T05:27:08Z", "2026-12-10T05:27:08+02:00"}) {
    EXPECT_FALSE(TryParseIsoUtc(bad).has_value()) << bad;
  }
}

} // namespace
} // namespace tarnwick
