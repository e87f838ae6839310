#include "present/image_texts.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ImageTexts, ConfigDumpLines) {
  std::vector<uint8_t> block(4096);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<uint8_t>(i);
  }
  const auto lines = ConfigDumpLines(block.data(), 4096);
  ASSERT_EQ(lines.size(), 256U);
  EXPECT_EQ(lines[0], "0000 : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
  EXPECT_EQ(lines[255].substr(0, 7), "0FF0 : ");
  EXPECT_EQ(ConfigDumpLines(block.data(), 31).size(), 1U) << "a partial line is not shown";
  EXPECT_TRUE(ConfigDumpLines(block.data(), 15).empty());
  EXPECT_TRUE(ConfigDumpLines(nullptr, 0).empty());
}

TEST(ImageTexts, StatusLabels) {
  RIGotUStatusData s;
  s.FModel.Data = {0, 0, 0x17};
  s.FIdent.Data = {0x00, 0x00, 0x00, 0x80, 2, 10, 0, 0, 0, 0};
  s.FCount.Data = {0, 0xFF, 0xFF};
  const auto l = StatusLabels(s);
  EXPECT_EQ(l.Model, "GT-800 or GT-900");
  EXPECT_EQ(l.Serial, "2147483648");
  EXPECT_EQ(l.Version, "2.10");
  EXPECT_EQ(l.Count, "65535");
}

TEST(ImageTexts, LogMessageEntries) {
  const TIGotULogMsgPoint ok(test::Reset(6, 21, 52).Ptr());
  EXPECT_EQ(LogMessageEntry(ok), "2013-11-24 06:21:52 RESET COUNTER");
  const TIGotULogMsgPoint bad(test::Slot{}.Flags(0xF1).Text("HELLO").Ptr());
  EXPECT_EQ(LogMessageEntry(bad), "Invalid Day 0 in 0000 HELLO");
}

} // namespace
} // namespace tarnwick
