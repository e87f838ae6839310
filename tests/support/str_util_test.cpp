#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(StrUtil, SplitText) {
  std::string s = "a-b-c";
  EXPECT_EQ(TStrUtil::SplitText("-", s), "a");
  EXPECT_EQ(s, "b-c");
  std::string none = "abc";
  EXPECT_EQ(TStrUtil::SplitText("-", none), "abc");
  EXPECT_EQ(none, "");
  std::string trailing = "abc-";
  EXPECT_EQ(TStrUtil::SplitText("-", trailing), "abc");
  EXPECT_EQ(trailing, "");
}

TEST(StrUtil, SplitToArrayKeepsTheRemainderAndLeavesLaterEntries) {
  std::vector<std::string> parts{"x", "x", "x", "keep"};
  EXPECT_EQ(SplitToArray("2013-11-24-x", parts, 2, '-'), 3);
  EXPECT_EQ(parts[0], "2013");
  EXPECT_EQ(parts[1], "11");
  EXPECT_EQ(parts[2], "24-x");
  EXPECT_EQ(parts[3], "keep");

  std::vector<std::string> few{"old", "old", "old"};
  EXPECT_EQ(SplitToArray("06", few, 2, ':'), 1);
  EXPECT_EQ(few[0], "06");
  EXPECT_EQ(few[1], "old");

  std::vector<std::string> empty;
  EXPECT_EQ(SplitToArray("a:b", empty, 2, ':'), 2);
  EXPECT_EQ(empty.size(), 3U);
}

TEST(StrUtil, IntegersInDecimalAndHexadecimal) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("-42"), -42);
  EXPECT_EQ(StrToInt("  7"), 7);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("$ab"), 0xAB);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad :
       {"", "abc", "12a", "$", "0x", "$-1", "$ 1", "2147483648", "$100000000", "1 ", "+-1"}) {
    EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
  }
  try {
    StrToInt("$ZZ");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'$ZZ' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("abc", 5), 5);
  EXPECT_FALSE(TryDecimalToInt("0x10").has_value());
  EXPECT_FALSE(TryDecimalToInt(" 1").has_value());
  EXPECT_EQ(TryDecimalToInt("-07"), -7);
}

TEST(StrUtil, HexStrIsUpperCaseAndPadded) {
  EXPECT_EQ(HexStr(0x0A, 2), "0A");
  EXPECT_EQ(HexStr(0x0FF0, 4), "0FF0");
  EXPECT_EQ(HexStr(0x1000, 6), "001000");
  EXPECT_EQ(HexStr(0x12345, 0), "12345");
  EXPECT_EQ(HexStr(0xDEADBEEF, 2), "DEADBEEF");
}

TEST(EscapeControls, TerminalControlsBecomeVisibleAndTextStaysAsItIs) {
  struct Case {
    std::string In;
    std::string Out;
  };
  const Case cases[] = {
      {"plain ASCII \\ stays", "plain ASCII \\ stays"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\x1B[2J\x1B]0;title\x07", "\\x1B[2J\\x1B]0;title\\x07"},
      {"del\x7F", "del\\x7F"},
      // C1 controls in UTF-8: CSI (U+009B) and NEL (U+0085); U+00A0 and later are text.
      {"\xC2\x9B"
       "2J \xC2\x85 \xC2\xA0 \xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80",
       "\\u009B2J \\u0085 \xC2\xA0 \xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"},
      // Bytes that are not UTF-8: a raw C1 byte, a cut sequence, an overlong form, a
      // surrogate and a code point above U+10FFFF.
      {"\x9B"
       "x",
       "\\x9Bx"},
      {"\xE6\x97", "\\xE6\\x97"},
      {"\xC0\xAF", "\\xC0\\xAF"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeControls(c.In), c.Out) << c.Out;
  }
}

} // namespace
} // namespace tarnwick
