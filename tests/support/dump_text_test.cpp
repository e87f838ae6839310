#include "support/date_time.hpp"
#include "support/dump_text.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

struct FakePoint {
  uint8_t FlagByte;
  DateTime When;
  uint8_t Flags() const { return FlagByte; }
  DateTime Time() const {
    if (When < 0) {
      throw ConvertError("bad time");
    }
    return When;
  }
};

TEST(DumpText, BytesToHex) {
  const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
  EXPECT_EQ(BytesToHex(bytes, 2), "0A FF ");
  EXPECT_EQ(BytesToHex(bytes, 3), "0A FF 00 ");
  EXPECT_EQ(BytesToHex(bytes, 0), "");
  EXPECT_EQ(BytesToHex(bytes, -3), "");
}

TEST(DumpText, IntToBinStr) {
  EXPECT_EQ(IntToBinStr(0), std::string(32, '0'));
  EXPECT_EQ(IntToBinStr(0x80000001), "1" + std::string(30, '0') + "1");
  EXPECT_EQ(IntToBinStr(5), std::string(29, '0') + "101");
}

TEST(DumpText, PointTexts) {
  const FakePoint p{0x05, EncodeDate(2013, 11, 24) + EncodeTime(6, 21, 52, 999)};
  EXPECT_EQ(PointTimeText(p), "2013-11-24 06:21:52");
  EXPECT_EQ(PointHeaderText(p), "05 2013-11-24 06:21:52");
  EXPECT_EQ(PointTimeText(FakePoint{0x1F, 0}), "1899-12-30 00:00:00");
  EXPECT_THROW(PointHeaderText(FakePoint{0x1F, -1}), ConvertError);
}

TEST(NumberFormat, FixedDecimalsIgnoreTheLocale) {
  EXPECT_EQ(FormatFixed(40.12, 3), "40.120");
  EXPECT_EQ(FormatFixed(-3.5, 3), "-3.500");
  EXPECT_EQ(FormatFixed(359.96, 1), "360.0");
  EXPECT_EQ(FormatFixed(655.35, 2, ','), "655,35");
  EXPECT_EQ(FormatFixed(12, 0), "12");
  std::string s = "x";
  AppendIntPadded(s, 7, 3);
  AppendIntPadded(s, 1234, 3);
  EXPECT_EQ(s, "x  71234");
}

} // namespace
} // namespace tarnwick
