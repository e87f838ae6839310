#include "device/command.hpp"
#include "device/device_test_util.hpp"
#include "device/protocol.hpp"

#include <cerrno>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Hex;
using testing::ElementsAre;

// An engine over a script port with a trace log and a recording, non-sleeping clock.
struct Engine {
  Engine(int chunkSize = 16) {
    Port.SetChunkSize(chunkSize);
    Port.SetDebugLog(&Trace.Log);
    Protocol.SetPort(&Port);
    Protocol.SetSleeper([this](std::chrono::milliseconds t) { Sleeps.push_back(t.count()); });
  }
  // The engine's own lines (level 1), without the level.
  std::vector<std::string> EngineLines() {
    std::vector<std::string> lines;
    for (const auto& l : Trace.Lines()) {
      if (l.rfind("1: ", 0) == 0) {
        lines.push_back(l.substr(3));
      }
    }
    return lines;
  }

  test::TraceLog Trace;
  test::ScriptPort Port;
  TIGotUProtocol Protocol;
  std::vector<long> Sleeps;
};

TEST(ProtocolTest, ChunkSize16TransactionTracesEveryStep) {
  Engine e(16);
  e.Port.Answer(Hex("93 00 03"));
  e.Port.Answer(Hex("00 01 15"));
  TIGotUModelCommand cmd;
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(cmd.ResultData.ModelType(), 0x15);
  ASSERT_EQ(e.Port.Writes.size(), 1u);
  EXPECT_EQ(e.Port.Writes[0].size(), 16u);
  EXPECT_THAT(
      e.Trace.Lines(),
      ElementsAre("1: @Clear Buffer", "0: Read Data Request length=256",
                  "1: @Send CommandChunk2 [93 05 04 00 03 01 9F 00 00 00 00 00 00 00 00 C1 ]",
                  "0: Write Data Request length=16", "1: @Read Reply",
                  "0: Read Data Request length=3", "1: Read Count=3 [93 00 03 ]",
                  "1: Read Reply Result DataCount is 3", "1: @Read Remain Reply RequestCount=3",
                  "0: Read Data Request length=3", "1: Read Remain Reply Result DataCount=3"));
  EXPECT_TRUE(e.Sleeps.empty()); // no retry pause after a success
}

TEST(ProtocolTest, ChunkSize8WritesAcknowledgedHalves) {
  Engine e(8);
  e.Port.Answer(Hex("93 00 00")); // acknowledgement
  e.Port.Answer(Hex("93 00 00")); // reply
  TIGotUNmeaSwitchCommand cmd(3);
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_TRUE(cmd.ResultData.Ok);
  EXPECT_THAT(e.Port.Writes,
              ElementsAre(Hex("93 01 01 03 00 00 00 00"), Hex("00 00 00 00 00 00 00 68")));
  EXPECT_THAT(e.EngineLines(),
              ElementsAre("@Clear Buffer", "@Send CommandChunk1 [93 01 01 03 00 00 00 00 ]",
                          "@Read Reply", "Read Count=3 [93 00 00 ]",
                          "Read Reply Result DataCount is 0",
                          "@Send CommandChunk2 [00 00 00 00 00 00 00 68 ]", "@Read Reply",
                          "Read Count=3 [93 00 00 ]", "Read Reply Result DataCount is 0"));
}

TEST(ProtocolTest, ChunkSizeAbove16SendsTheFrameInOneWrite) {
  Engine e(64);
  e.Port.Answer(Hex("93 00 00"));
  TIGotUNmeaSwitchCommand cmd(0);
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  ASSERT_EQ(e.Port.Writes.size(), 1u);
  EXPECT_EQ(e.Port.Writes[0].size(), 16u);
}

TEST(ProtocolTest, BadHeadersFailTheAttemptWithTheirTrace) {
  struct Case {
    std::vector<uint8_t> Header;
    std::string Trace;
  };
  for (const Case& c : {Case{Hex("93 00"), "**** Read Length Error =2"},
                        Case{Hex("94 00 03"), "**** I-gotu Reply Code error! (94)"},
                        Case{Hex("93 80 00"), "**** Read Reply Recoverable Error Count=3"}}) {
    Engine e(16);
    e.Protocol.SetCommandRetryCount(1);
    e.Port.Answer(c.Header);
    TIGotUModelCommand cmd;
    EXPECT_FALSE(e.Protocol.SendCommand(cmd)) << c.Trace;
    const auto lines = e.EngineLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.Trace), lines.end()) << c.Trace;
    EXPECT_EQ(e.Trace.Count("1: @Clear Buffer for Retry"), 1);
  }
}

TEST(ProtocolTest, AcknowledgementWithDataEndsTheAttemptBeforeTheSecondHalf) {
  Engine e(8);
  e.Protocol.SetCommandRetryCount(1);
  e.Port.Answer(Hex("93 00 01"));
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_FALSE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(e.Port.Writes.size(), 1u);
}

TEST(ProtocolTest, DataArrivingInPiecesIsCollected) {
  Engine e(16);
  std::vector<uint8_t> block(4096);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<uint8_t>(i * 7);
  }
  e.Port.Answer(Hex("93 10 00"));
  e.Port.Answer({block.begin(), block.begin() + 1000});
  e.Port.Answer({block.begin() + 1000, block.end()});
  std::vector<uint8_t> dest(4096);
  TIGotUReadCommand cmd(0x1000, 4096);
  ASSERT_TRUE(e.Protocol.SendCommand(cmd, dest.data(), dest.size()));
  EXPECT_EQ(dest, block);
  EXPECT_EQ(e.Trace.Count("1: @Read Remain Reply RequestCount=4096"), 1);
  EXPECT_EQ(e.Trace.Count("1: @Read Remain Reply RequestCount=3096"), 1);
}

TEST(ProtocolTest, EmptyDataReadsAreRetriedThenTheCommandIsRetried) {
  Engine e(16);
  e.Protocol.SetCommandRetryCount(2);
  e.Port.Answer(Hex("93 00 03")); // attempt 1: header, then five empty reads
  for (int i = 0; i < 5; ++i) {
    e.Port.Answer({});
  }
  e.Port.Answer({});              // the retry's drain
  e.Port.Answer(Hex("93 00 03")); // attempt 2 succeeds
  e.Port.Answer(Hex("00 00 2A"));
  TIGotUCountCommand cmd;
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(cmd.ResultData.Count(), 42);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(e.Trace.Count("1: ** Read Fail Retrying " + std::to_string(i)), 1);
  }
  EXPECT_EQ(e.Trace.Count("1: **** Read Error"), 1);
  // The trace of the failed attempt says why it failed.
  EXPECT_EQ(e.Trace.Count("1: **** SendCommand Error Catch: **** Read Error !!"), 1);
  EXPECT_EQ(e.Trace.Count("1: @Clear Buffer for Retry"), 1);
  EXPECT_THAT(e.Sleeps, ElementsAre(200));
}

TEST(ProtocolTest, SilentLoggerCostsEveryAttempt) {
  Engine e(8);
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_FALSE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(e.Port.Writes.size(), 8u); // one first half per attempt
  EXPECT_EQ(e.Trace.Count("1: @Clear Buffer for Retry"), 8);
  EXPECT_EQ(e.Sleeps, std::vector<long>(8, 200));
  // The drain before a retry waits for the read time-out; the one before a command does not,
  // yet both are traced as the same read request.
  EXPECT_EQ(std::count(e.Port.ReadRequests.begin(), e.Port.ReadRequests.end(), 256), 8);
  EXPECT_EQ(e.Trace.Count("0: Read Data Request length=256"), 16);
  EXPECT_EQ(e.Port.Clears, 16);
}

TEST(ProtocolTest, TimedDrainEverywhereWithoutFastDrain) {
  Engine e(16);
  e.Protocol.SetFastDrain(false);
  e.Port.Answer({});              // the drain before the command
  e.Port.Answer(Hex("93 00 00")); // the reply
  TIGotUNmeaSwitchCommand cmd(3);
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_THAT(e.Port.ReadRequests, ElementsAre(256, 3)); // the drain waited, then the header
  EXPECT_EQ(e.Trace.Count("0: Read Data Request length=256"), 1);
}

TEST(ProtocolTest, ReplyLargerThanTheDestinationIsRefusedWithoutOverrun) {
  Engine e(16);
  e.Protocol.SetCommandRetryCount(1);
  e.Port.Answer(Hex("93 00 10")); // 16 bytes announced for an 8-byte read
  e.Port.Answer(std::vector<uint8_t>(16, 0xEE));
  std::vector<uint8_t> memory(16, 0x55); // 8 destination bytes, then 8 guard bytes
  TIGotUReadCommand cmd(0, 8);
  EXPECT_FALSE(e.Protocol.SendCommand(cmd, memory.data(), 8));
  EXPECT_EQ(memory, std::vector<uint8_t>(16, 0x55));
  EXPECT_EQ(e.Trace.Count("1: **** Reply Data Count too large=16"), 1);
}

TEST(ProtocolTest, ReadAnsweredWithFewerBytesThanAskedIsRetried) {
  Engine e(16);
  e.Protocol.SetCommandRetryCount(2);
  e.Port.Answer(Hex("93 00 00")); // "done", with none of the 8 bytes
  e.Port.Answer({});              // the retry's drain
  e.Port.Answer(Hex("93 00 08"));
  e.Port.Answer(Hex("01 02 03 04 05 06 07 08"));
  std::vector<uint8_t> dest(8);
  TIGotUReadCommand cmd(0x1000, 8);
  ASSERT_TRUE(e.Protocol.SendCommand(cmd, dest.data(), dest.size()));
  EXPECT_EQ(dest, Hex("01 02 03 04 05 06 07 08"));
  EXPECT_EQ(e.Trace.Count("1: **** SendCommand Error Catch: I-gotu Command Reply Length error"), 1);
}

TEST(ProtocolTest, ShortReplyForTheCommandIsRetried) {
  Engine e(16);
  e.Protocol.SetCommandRetryCount(2);
  e.Port.Answer(Hex("93 00 02"));
  e.Port.Answer(Hex("00 01"));
  e.Port.Answer({}); // drain
  e.Port.Answer(Hex("93 00 03"));
  e.Port.Answer(Hex("00 01 2C"));
  TIGotUCountCommand cmd;
  ASSERT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(cmd.ResultData.Count(), 300);
  EXPECT_EQ(e.Trace.Count("1: **** SendCommand Error Catch: I-gotu Command Reply Length error"), 1);
}

TEST(ProtocolTest, ShortWriteAndZeroChunkSizeFailAttempts) {
  Engine e(16);
  e.Protocol.SetCommandRetryCount(2);
  e.Port.ShortWriteCall = 0;
  e.Port.Answer({}); // the retry's drain
  e.Port.Answer(Hex("93 00 00"));
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_TRUE(e.Protocol.SendCommand(cmd));
  EXPECT_EQ(e.Port.Writes.size(), 2u);
  EXPECT_EQ(e.Trace.Count("1: **** SendCommand Error Catch: **** I-gotu Write Length error! 11"),
            1);

  Engine zero(0);
  zero.Protocol.SetCommandRetryCount(3);
  EXPECT_FALSE(zero.Protocol.SendCommand(cmd));
  EXPECT_TRUE(zero.Port.Writes.empty());
  EXPECT_EQ(zero.Trace.Count("1: **** SendCommand Error Catch: **** I-gotu Chunk Size error! 0"),
            3);
}

TEST(ProtocolTest, TransportErrorWhileDrainingForARetryReachesTheCaller) {
  Engine e(16);
  e.Port.FailWhenEmpty();
  e.Port.Answer({}); // the header read gets nothing
  e.Port.Answer({}); // the drain for the retry reads nothing, then its purge fails
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_THROW(e.Protocol.SendCommand(cmd), ComPortError);
}

TEST(ProtocolTest, TransportErrorInsideAnAttemptIsTracedWithItsMessage) {
  Engine e(16);
  e.Port.FailWhenEmpty(); // the attempt's first drain fails, and then the retry's drain
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_THROW(e.Protocol.SendCommand(cmd), ComPortError);
  EXPECT_EQ(e.Trace.Count("1: **** SendCommand Error Catch: Unable to read from com port (Error: " +
                          std::to_string(EIO) + "): " + std::strerror(EIO)),
            1);
}

TEST(ProtocolTest, PreReadDrainsSixteenTimesWithPauses) {
  Engine e(16);
  e.Port.Answer(Hex("24 47 50"));
  EXPECT_TRUE(e.Protocol.PreRead());
  EXPECT_EQ(e.Port.ReadRequests, std::vector<int>(16, 16));
  EXPECT_EQ(e.Sleeps, std::vector<long>(16, 100));
  EXPECT_EQ(e.Trace.Count("1: @Pre Read 0 Count=3 [24 47 50 ]"), 1);
  EXPECT_EQ(e.Trace.Count("1: @Pre Read 15 Count=0 []"), 1);
}

TEST(ProtocolTest, WithoutPortOrLogNothingIsTraced) {
  TIGotUProtocol protocol;
  protocol.DebugMessage(TIGotUProtocolDebugLevel::dlLow, "x"); // no port: nothing happens
  TIGotUNmeaSwitchCommand cmd(3);
  EXPECT_THROW(protocol.SendCommand(cmd), EIGotUError);
  test::ScriptPort port;
  port.SetChunkSize(16);
  port.Answer(Hex("93 00 00"));
  protocol.SetPort(&port);
  EXPECT_TRUE(protocol.SendCommand(cmd));
}

} // namespace
} // namespace tarnwick
