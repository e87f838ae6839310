#include "device/command.hpp"
#include "device/device_test_util.hpp"
#include "support/errors.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Hex;

std::vector<uint8_t> Frame(const TIGotUCommand& cmd) {
  return {cmd.DataPtr(), cmd.DataPtr() + TIGotUCommand::CommandSize()};
}

// A reply whose header announces Count and whose own buffer holds Data.
void Fill(TIGotUCommandReply& reply, int16_t count, const std::vector<uint8_t>& data) {
  reply.Header.Header = {0x93, static_cast<uint8_t>(static_cast<uint16_t>(count) >> 8),
                         static_cast<uint8_t>(count & 0xFF)};
  uint8_t* p = reply.AllocBuffer();
  std::copy(data.begin(), data.end(), p);
}

TEST(CommandTest, FramesAreByteExactWithZeroSum) {
  EXPECT_EQ(Frame(TIGotUNmeaSwitchCommand(3)),
            Hex("93 01 01 03 00 00 00 00 00 00 00 00 00 00 00 68"));
  EXPECT_EQ(Frame(TIGotUNmeaSwitchCommand(0)),
            Hex("93 01 01 00 00 00 00 00 00 00 00 00 00 00 00 6B"));
  EXPECT_EQ(Frame(TIGotUModelCommand()), Hex("93 05 04 00 03 01 9F 00 00 00 00 00 00 00 00 C1"));
  EXPECT_EQ(Frame(TIGotUIdentificationCommand()),
            Hex("93 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 63"));
  EXPECT_EQ(Frame(TIGotUCountCommand()), Hex("93 0B 03 00 1D 00 00 00 00 00 00 00 00 00 00 42"));
  EXPECT_EQ(Frame(TIGotUReadCommand(0, 4096)),
            Hex("93 05 07 10 00 04 03 00 00 00 00 00 00 00 00 4A"));
  EXPECT_EQ(Frame(TIGotUReadCommand(0x1000, 4096)),
            Hex("93 05 07 10 00 04 03 00 10 00 00 00 00 00 00 3A"));
  // Any address and size keeps the frame's sum at zero.
  for (uint32_t addr : {0x0u, 0x123456u, 0xFFFFFFu, 0xABCDEF12u}) {
    uint8_t sum = 0;
    for (auto b : Frame(TIGotUReadCommand(addr, 0xBEEF))) {
      sum = static_cast<uint8_t>(sum + b);
    }
    EXPECT_EQ(sum, 0) << addr;
  }
}

TEST(CommandTest, ReadSendsOnlyTheLow24AddressBitsAndTheSizeBigEndian) {
  const auto f = Frame(TIGotUReadCommand(0x01123456, 0x0102));
  EXPECT_EQ(f[3], 0x01);
  EXPECT_EQ(f[4], 0x02);
  EXPECT_EQ(f[7], 0x12);
  EXPECT_EQ(f[8], 0x34);
  EXPECT_EQ(f[9], 0x56);
  EXPECT_EQ(Frame(TIGotUNmeaSwitchCommand(0x103))[3], 0x03); // only the low byte of the mode
}

TEST(CommandTest, StatusRepliesAreCheckedAgainstTheAnnouncedCount) {
  TIGotUCountCommand count;
  {
    TIGotUCommandReply reply;
    Fill(reply, 4, {0x00, 0x01, 0x2C, 0x77});
    count.ParseReply(reply);
    EXPECT_EQ(count.ResultData.Data, (std::array<uint8_t, 3>{0x00, 0x01, 0x2C}));
    EXPECT_EQ(count.ResultData.Count(), 300);
  }
  {
    TIGotUCommandReply reply;
    Fill(reply, 2, {0x09, 0x09});
    EXPECT_THROW(
        {
          try {
            count.ParseReply(reply);
          } catch (const EIGotUError& e) {
            EXPECT_STREQ(e.what(), "I-gotu Command Reply Length error");
            throw;
          }
        },
        EIGotUError);
    EXPECT_EQ(count.ResultData.Count(), 300); // unchanged
  }

  TIGotUIdentificationCommand ident;
  const std::vector<uint8_t> tenBytes = Hex("01 02 03 04 05 06 07 08 09 0A");
  TIGotUCommandReply ten;
  Fill(ten, 10, tenBytes);
  ident.ParseReply(ten);
  EXPECT_EQ(std::vector<uint8_t>(ident.ResultData.Data.begin(), ident.ResultData.Data.end()),
            tenBytes);
  TIGotUCommandReply nine;
  Fill(nine, 9, Hex("FF FF FF FF FF FF FF FF FF"));
  EXPECT_THROW(ident.ParseReply(nine), EIGotUError);
  EXPECT_EQ(ident.ResultData.SerialNumber(), 0x04030201u);
}

TEST(CommandTest, SwitchIsOkOnlyForAnEmptyReply) {
  TIGotUNmeaSwitchCommand sw(3);
  TIGotUCommandReply empty;
  Fill(empty, 0, {});
  sw.ParseReply(empty);
  EXPECT_TRUE(sw.ResultData.Ok);
  TIGotUCommandReply one;
  Fill(one, 1, {0});
  EXPECT_NO_THROW(sw.ParseReply(one));
  EXPECT_FALSE(sw.ResultData.Ok);
}

TEST(CommandTest, ReplyBufferIsOwnOrOutside) {
  TIGotUCommandReply own;
  own.Header.Header = {0x93, 0x00, 0x00};
  EXPECT_EQ(own.AllocBuffer(), nullptr);
  own.Header.Header = {0x93, 0x80, 0x00};
  EXPECT_LT(own.DataCount(), 0);
  EXPECT_EQ(own.AllocBuffer(), nullptr);

  uint8_t outside[8] = {};
  TIGotUCommandReply reply(outside, sizeof outside);
  reply.Header.Header = {0x93, 0x00, 0x00};
  EXPECT_EQ(reply.AllocBuffer(), outside);
  reply.Header.Header = {0x93, 0x00, 0x08};
  EXPECT_TRUE(reply.DataFits());
  reply.Header.Header = {0x93, 0x00, 0x09};
  EXPECT_FALSE(reply.DataFits());
  EXPECT_EQ(reply.AllocBuffer(), outside);
}

} // namespace
} // namespace tarnwick
