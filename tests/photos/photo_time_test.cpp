#include "photos/photo_time.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using namespace std::string_literals;

TEST(ParseExifDateTime, ReadsTheCameraClockAsIfUtc) {
  EXPECT_EQ(ParseExifDateTime("1970:01:01 00:00:00"), 0);
  EXPECT_EQ(ParseExifDateTime("2000:03:01 00:00:00"), int64_t{951'868'800'000});
  EXPECT_EQ(ParseExifDateTime("1969:12:31 23:59:59"), -1000);
  EXPECT_EQ(ParseExifDateTime("2024:02:29 12:34:56"), int64_t{1'709'210'096'000});
  // The ends of the years a date may have.
  EXPECT_TRUE(ParseExifDateTime("0001:01:01 00:00:00"));
  EXPECT_TRUE(ParseExifDateTime("9999:12:31 23:59:59"));
  // Cameras pad the fixed-size field with NULs or blanks.
  EXPECT_EQ(ParseExifDateTime("2000:03:01 00:00:00\0\0"s), int64_t{951'868'800'000});
  EXPECT_EQ(ParseExifDateTime("2000:03:01 00:00:00  "), int64_t{951'868'800'000});
}

TEST(ParseExifDateTime, NoTimeAndMalformedTextsAreEmpty) {
  for (const std::string& text :
       {"0000:00:00 00:00:00"s, "    :  :     :  :  "s, ""s, "\0\0\0"s, "2023:02:29 10:00:00"s,
        "2024:13:01 10:00:00"s, "2024:04:31 10:00:00"s, "2024:01:01 24:00:00"s,
        "2024:01:01 23:60:00"s, "2024:01:01 23:59:60"s, "2024-01-01 10:00:00"s,
        "2024:01:01T10:00:00"s, "2024:01:01 10:00"s, "2024:01:01 10:00:00Z"s,
        " 2024:01:01 10:00:00"s, "2024:01:01 10:00:00\0x"s, "+024:01:01 10:00:00"s,
        "2024:0a:01 10:00:00"s, "2024:01:01 10:00:00.5"s}) {
    EXPECT_FALSE(ParseExifDateTime(text)) << text;
  }
}

TEST(ParseExifSubSec, DigitsAreAFractionOfASecond) {
  EXPECT_EQ(ParseExifSubSec("12"), 120);
  EXPECT_EQ(ParseExifSubSec("5"), 500);
  EXPECT_EQ(ParseExifSubSec("007"), 7);
  EXPECT_EQ(ParseExifSubSec("123456"), 123);
  EXPECT_EQ(ParseExifSubSec("999999999"), 999);
  EXPECT_EQ(ParseExifSubSec(" 42 \0"s), 420);
  for (const std::string& text : {""s, "   "s, "1a"s, "-1"s, "+5"s, "1.5"s, "1234567890"s}) {
    EXPECT_FALSE(ParseExifSubSec(text)) << text;
  }
}

TEST(ParseExifOffset, MinutesEastOfUtc) {
  EXPECT_EQ(ParseExifOffset("+02:00"), 120);
  EXPECT_EQ(ParseExifOffset("-03:30"), -210);
  EXPECT_EQ(ParseExifOffset("+00:00"), 0);
  EXPECT_EQ(ParseExifOffset("+14:00\0"s), 840);
  EXPECT_EQ(ParseExifOffset("-12:00"), -720);
  for (const std::string& text : {"   :  "s, ""s, "Z"s, "+2:00"s, "+02:60"s, "+14:01"s, "02:00"s,
                                  "+0200"s, "+02:00:00"s, "+0a:00"s, " +02:00"s}) {
    EXPECT_FALSE(ParseExifOffset(text)) << text;
  }
}

TEST(MakeCaptureTime, JoinsTheThreeTextsAndSaysWhatItHad) {
  const auto full = MakeCaptureTime("2026:07:14 18:05:09", "25", "+02:00");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->LocalMs, *ParseExifDateTime("2026:07:14 18:05:09") + 250);
  EXPECT_TRUE(full->HasSubSec);
  EXPECT_EQ(full->OffsetMinutes, 120);
  EXPECT_EQ(full->UtcMs(), *ParseExifDateTime("2026:07:14 16:05:09") + 250);
  EXPECT_EQ(full->Text, "2026-07-14 18:05:09.250 +02:00");

  // A sub-second or offset text that does not read is left out, the time kept.
  const auto bare = MakeCaptureTime("2026:07:14 18:05:09", "x", "+2");
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->HasSubSec);
  EXPECT_FALSE(bare->OffsetMinutes);
  EXPECT_FALSE(bare->UtcMs());
  EXPECT_EQ(bare->Text, "2026-07-14 18:05:09");

  const auto west = MakeCaptureTime("2026:01:01 01:00:00", "", "-05:30");
  ASSERT_TRUE(west);
  EXPECT_EQ(west->Text, "2026-01-01 01:00:00 -05:30");
  EXPECT_EQ(west->UtcMs(), *ParseExifDateTime("2026:01:01 06:30:00"));

  EXPECT_FALSE(MakeCaptureTime("0000:00:00 00:00:00", "12", "+01:00"));
}

TEST(FormatPhotoTime, BeforeAndAfter1970) {
  EXPECT_EQ(FormatPhotoTime(0, true), "1970-01-01 00:00:00.000");
  EXPECT_EQ(FormatPhotoTime(-1, true), "1969-12-31 23:59:59.999");
  EXPECT_EQ(FormatPhotoTime(int64_t{951'868'800'000} - 1000, false), "2000-02-29 23:59:59");
  // Every text the parser takes formats back to itself.
  for (const char* text : {"0001:01:01 00:00:00", "1900:02:28 13:14:15", "9999:12:31 23:59:59"}) {
    std::string expected(text);
    expected[4] = '-';
    expected[7] = '-';
    EXPECT_EQ(FormatPhotoTime(*ParseExifDateTime(text), false), expected);
  }
}

} // namespace
} // namespace tarnwick
