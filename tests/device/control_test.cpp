#include "device/sim_fixture.hpp"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace tarnwick {
namespace {

using test::PatternImage;
using test::SimRig;
using testing::ElementsAre;

sim::SimLoggerOptions Options(uint16_t product, sim::SimFaultPlan faults = {}) {
  sim::SimLoggerOptions o;
  o.ProductID = product;
  o.Faults = std::move(faults);
  return o;
}

class DownloadTest : public testing::TestWithParam<uint16_t> {};

TEST_P(DownloadTest, ThreeHundredPointsInThreeBlocks) {
  const auto source = PatternImage(300);
  SimRig rig(source, Options(GetParam()));
  const auto image = rig.Control.Download();
  ASSERT_NE(image, nullptr);
  test::ExpectSameImage(*image, source);
  EXPECT_THAT(rig.ReadAddresses(), ElementsAre(0x0000, 0x1000, 0x2000, 0x3000));
  EXPECT_THAT(rig.Progress->Reports,
              ElementsAre(std::pair(0, 3), std::pair(1, 3), std::pair(2, 3), std::pair(3, 3)));
  EXPECT_THAT(rig.Progress->Message1,
              ElementsAre("Prepare for download...", "Initializing...", "Read Status...",
                          "Reading Configuration...", "Downloading..."));
  EXPECT_THAT(rig.Messages->Lines,
              ElementsAre("Change To Config Mode...", "Get Model...",
                          "Model is GT-120 (ModelType=x15)", "Model unk=00 01",
                          "Get Identification...", "SerialNumber=305419896", "Version=1.5",
                          "Model=120 (x0078)", "LibraryVer=258", "Get Count...",
                          "Data Point Count=300", "Read Tracks...", "Reading Block 001000 (0)%",
                          "Reading Block 002000 (33)%", "Reading Block 003000 (66)%",
                          "Change To Dongle Mode..."));
  EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal);
  EXPECT_EQ(rig.Trace.Count("1: # ReadData 3000"), 1);
  EXPECT_EQ(rig.Trace.Count("1: # SendNmeaSwitch"), 2);
  EXPECT_EQ(rig.Trace.Count("1: @Clear Buffer for Retry"), 0);
  EXPECT_EQ(rig.Trace.Count("1: @Wait For Quiet Line"), 0); // nothing failed: no waiting
}

TEST_P(DownloadTest, BlockCountFollowsTheRecordCount) {
  for (const auto& [points, blocks] : {std::pair(128, 1), std::pair(129, 2), std::pair(0, 0)}) {
    const auto source = PatternImage(points);
    SimRig rig(source, Options(GetParam()));
    const auto image = rig.Control.Download();
    ASSERT_NE(image, nullptr) << points;
    test::ExpectSameImage(*image, source);
    EXPECT_EQ(rig.ReadAddresses().size(), static_cast<size_t>(blocks) + 1) << points;
    EXPECT_EQ(rig.Progress->Reports.size(), static_cast<size_t>(blocks) + 1) << points;
    EXPECT_EQ(rig.Progress->Reports.back(), std::pair(blocks, blocks)) << points;
  }
}

TEST_P(DownloadTest, RandomFaultsAreRecoveredByRetries) {
  sim::SimFaultPlan faults;
  faults.RandomRate = 0.2;
  auto options = Options(GetParam(), faults);
  options.Seed = 11;
  const auto source = PatternImage(4000);
  SimRig rig(source, options);
  const auto image = rig.Control.Download();
  ASSERT_NE(image, nullptr);
  test::ExpectSameImage(*image, source);
  EXPECT_GT(rig.Port.Logger().Stats().FaultsInjected, 3);
  EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal);
}

TEST_P(DownloadTest, EveryFaultKindIsRecoveredFrom) {
  for (int k = 0; k < sim::kSimRandomFaultKinds; ++k) {
    const auto kind = static_cast<sim::SimFaultKind>(k);
    sim::SimFaultPlan faults;
    // The first command, and three more among the status and memory reads.
    for (int n : {1, 3, 5, 6}) {
      faults.Scripted[n] = kind;
    }
    const auto source = PatternImage(200);
    SimRig rig(source, Options(GetParam(), faults));
    const auto image = rig.Control.Download();
    ASSERT_NE(image, nullptr) << sim::FaultName(kind);
    test::ExpectSameImage(*image, source);
    EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal) << sim::FaultName(kind);
  }
}

// A reply later than the header's time-out is taken by the retry while the retry's own reply
// is still on its way, with the header the next block read expects. Single late replies on
// status, configuration and block reads, and chains in which the retry's reply is late too.
// Commands: 1 switch, 2 model, 3 identification, 4 count, 5 configuration, 6-21 the blocks.
TEST_P(DownloadTest, LateRepliesNeverShiftTheImage) {
  const auto source = PatternImage(2000);
  std::vector<std::string> plans = {"late:650@6,late:650@7", "late:650@6,late:1900@7",
                                    "late:1900@5,late:650@6", "late:650@6,late:700@8,late:650@10"};
  for (const char* delay : {"250", "650", "1250", "1900"}) {
    for (const char* command : {"2", "3", "5", "6", "13", "21"}) {
      plans.push_back(std::string("late:") + delay + "@" + command);
    }
  }
  for (const auto& plan : plans) {
    SCOPED_TRACE(plan);
    SimRig rig(source, Options(GetParam(), sim::ParseFaultSpec(plan)));
    const auto image = rig.Control.Download();
    ASSERT_NE(image, nullptr);
    test::ExpectSameImage(*image, source);
  }
}

// A reply has kReplyDeadline to arrive whole: a slow link (4 KiB in a quarter of a second)
// is well within it; a trickling logger or a far slower link fails its attempts instead of
// holding one block for minutes (4096 bytes 190 ms apart take 13).
TEST_P(DownloadTest, RepliesMustArriveWithinTheDeadline) {
  struct Case {
    const char* Faults;
    int64_t Rate;
    const char* Error; // null: the download completes
  };
  for (const Case& c : {Case{"", 16384, nullptr}, Case{"trickle@8", 131072, "Read Error !!"},
                        Case{"", 1024, "Cannot read the logger's configuration block"}}) {
    SCOPED_TRACE(testing::Message() << "'" << c.Faults << "' at " << c.Rate << " B/s");
    auto options = Options(GetParam(), sim::ParseFaultSpec(c.Faults));
    options.Link.BytesPerSecond = c.Rate;
    SimRig rig(PatternImage(2000), options);
    try {
      EXPECT_NE(rig.Control.Download(), nullptr);
      EXPECT_EQ(c.Error, nullptr);
    } catch (const EIGotUError& e) {
      EXPECT_STREQ(e.what(), c.Error);
    }
    EXPECT_LT(rig.Port.Now(), std::chrono::minutes(1));
    const auto lines = rig.Trace.Lines();
    EXPECT_EQ(std::any_of(lines.begin(), lines.end(),
                          [](const auto& l) { return l.rfind("1: **** Reply Deadline", 0) == 0; }),
              c.Error != nullptr);
  }
}

// An image without its status or configuration block would be saved as the logger's memory
// (no records, or zeros for its settings): the download fails instead, naming the part, and
// the logger goes back to its normal mode.
TEST_P(DownloadTest, UnreadableStatusOrConfigurationFailsTheDownload) {
  for (const auto& [first, part] :
       {std::pair(2, "model"), std::pair(3, "identification"), std::pair(4, "record count"),
        std::pair(5, "configuration block")}) {
    sim::SimFaultPlan faults;
    for (int n = first; n < first + 8; ++n) { // every attempt at the part
      faults.Scripted[n] = n % 2 == 0 ? sim::SimFaultKind::NoAnswer : sim::SimFaultKind::Negative;
    }
    SimRig rig(PatternImage(300), Options(GetParam(), faults));
    try {
      rig.Control.Download();
      ADD_FAILURE() << "no error for the " << part;
    } catch (const EIGotUError& e) {
      EXPECT_EQ(e.what(), std::string("Cannot read the logger's ") + part);
    }
    EXPECT_TRUE(rig.Progress->Reports.empty()) << part;
    EXPECT_EQ(rig.Messages->Lines.back(), "Change To Dongle Mode...") << part;
    EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal) << part;
  }
}

// A fault by command kind or read address lands on the command it names, counting retries
// for #K; the download recovers. "read 3000#2" is the second read starting at 0x3000.
TEST_P(DownloadTest, FaultsByCommandOrAddressHitTheCommandNamed) {
  const struct {
    const char* Faults;
    std::vector<std::string> Hit;
  } cases[] = {
      {"noanswer@model", {"model#1 noanswer"}},
      {"late:650@read=0x3000", {"read 3000#1 late"}},
      {"badcode@read", {"read 1000#1 badcode"}},
      {"negative@read#3", {"read 3000#1 negative"}},
      {"stray@config,short@ident,fewer@count",
       {"ident#1 short", "count#1 fewer", "read 0000#1 stray"}},
      {"negative@read=0x2000,noanswer@read=0x2000#2",
       {"read 2000#1 negative", "read 2000#2 noanswer"}},
      {"overlong@read=4096", {"read 1000#1 overlong"}},
      {"noanswer@mode", {"mode#1 noanswer"}},
      // A fault by number wins; the targeted one has still seen its first model query.
      {"badcode@2,noanswer@model", {"model#1 badcode"}},
      {"noanswer@read=0x5000,noanswer@count#2", {}},
  };
  const auto source = PatternImage(300);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Faults);
    SimRig rig(source, Options(GetParam(), sim::ParseFaultSpec(c.Faults)));
    const auto image = rig.Control.Download();
    ASSERT_NE(image, nullptr);
    test::ExpectSameImage(*image, source);
    std::map<std::string, int> seen;
    std::vector<std::string> hit;
    for (const auto& command : rig.Port.Logger().Commands()) {
      const auto& f = command.Frame;
      std::string name = f[1] == 0x01   ? "mode"
                         : f[1] == 0x0A ? "ident"
                         : f[1] == 0x0B ? "count"
                         : f[2] == 0x04 ? "model"
                                        : fmt::format("read {:04X}", f[7] << 16 | f[8] << 8 | f[9]);
      name += "#" + std::to_string(++seen[name]);
      if (command.Fault) {
        hit.push_back(name + " " + std::string(sim::FaultName(*command.Fault)));
      }
    }
    EXPECT_EQ(hit, c.Hit);
  }
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, DownloadTest, testing::Values(0x0900, 0x0B80),
                         [](const auto& info) {
                           return info.param == 0x0900 ? "Chunk8" : "Chunk16";
                         });

TEST(ControlTest, CancelBeforeTheFirstBlockSwitchesBack) {
  SimRig rig(PatternImage(300));
  rig.Progress->CancelAtReport = 0;
  EXPECT_EQ(rig.Control.Download(), nullptr);
  EXPECT_THAT(rig.ReadAddresses(), ElementsAre(0x0000));
  EXPECT_EQ(rig.Messages->Lines.back(), "Change To Dongle Mode...");
  EXPECT_EQ(rig.Messages->Lines[rig.Messages->Lines.size() - 2], "Download cancel");
  EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal);
}

TEST(ControlTest, CancelInTheMiddleFinishesTheCurrentBlockOnly) {
  SimRig rig(PatternImage(300));
  rig.Progress->CancelAtReport = 2; // after the second block
  EXPECT_EQ(rig.Control.Download(), nullptr);
  EXPECT_THAT(rig.ReadAddresses(), ElementsAre(0x0000, 0x1000, 0x2000));
  EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal);
}

TEST(ControlTest, LoggerThatNeverAnswersFailsToInitialize) {
  test::TraceLog trace;
  test::ScriptPort port;
  port.SetDebugLog(&trace.Log);
  TIGotUProtocol protocol;
  protocol.SetPort(&port);
  protocol.SetSleeper([](std::chrono::milliseconds) {});
  TIGotUControl control(protocol);
  auto messages = std::make_shared<test::MessageSink>();
  control.SetDebugMsgIntf(messages);
  control.SetProgress(std::make_shared<test::RecordingProgress>());
  try {
    control.Download();
    FAIL() << "no error";
  } catch (const EIGotUInitializeError& e) {
    EXPECT_STREQ(e.what(), "Initialize Error ! Please Retry.");
  }
  EXPECT_THAT(messages->Lines,
              ElementsAre("Change To Config Mode...", "Change To Config Mode Retrying...",
                          "Change To Config Mode Retrying...",
                          "Change To Config Mode Retrying..."));
  EXPECT_EQ(port.Writes.size(), 24u); // 3 switches of 8 attempts, one half each
}

// After a failed attempt, a line that never goes quiet cannot be trusted with the next
// reply: the command is not sent, and the error says why.
TEST(ControlTest, LineThatNeverGoesQuietIsAnError) {
  SimRig rig(PatternImage(300), Options(0x0B80, sim::ParseFaultSpec("trickle@2")));
  rig.Protocol.SetCommandRetryCount(1);
  ASSERT_TRUE(rig.Control.Initialize());
  std::vector<uint8_t> block(4096);
  EXPECT_FALSE(rig.Control.ReadData(0x1000, 4096, block.data())); // trickles for 13 minutes
  RModelResult model;
  EXPECT_THROW(rig.Control.GetModel(model), EIGotUError);
  EXPECT_EQ(rig.Port.Logger().Stats().Commands, 2);
  // Given up once (1 + CommandRetryCount) deadlines have passed without a quiet moment.
  EXPECT_EQ(rig.Trace.Count("1: **** Line Not Quiet after 4170 ms, 23 bytes dropped"), 1);
}

TEST(ControlTest, FailedBlockRaisesReadErrorAfterSwitchingBack) {
  sim::SimFaultPlan faults;
  for (int n = 7; n <= 14; ++n) {
    faults.Scripted[n] = sim::SimFaultKind::BadCode; // every attempt at the second block
  }
  SimRig rig(PatternImage(300), Options(0x0900, faults));
  try {
    rig.Control.Download();
    FAIL() << "no error";
  } catch (const EIGotUError& e) {
    EXPECT_STREQ(e.what(), "Read Error !!");
  }
  EXPECT_EQ(rig.Messages->Lines.back(), "Change To Dongle Mode...");
  EXPECT_EQ(rig.Port.Logger().Mode(), sim::SimMode::Normal);
}

TEST(ControlTest, UnpluggedLoggerEndsTheDownloadWithTheTransportError) {
  sim::SimFaultPlan faults;
  faults.UnplugAfterBlocks = 1;
  SimRig rig(PatternImage(300), Options(0x0900, faults));
  EXPECT_THROW(rig.Control.Download(), Error);
  EXPECT_THAT(rig.ReadAddresses(), ElementsAre(0x0000, 0x1000));
  EXPECT_TRUE(rig.Port.Logger().Unplugged());
}

TEST(ControlTest, StatusTextsShowUnsignedSerialAndHexAddress) {
  auto source = PatternImage(1);
  source.Status.FIdent.Data = {0xFF, 0xFF, 0xFF, 0xFF, 2, 1, 0x03, 0x84, 0, 7};
  SimRig rig(source);
  RIGotUStatusData status;
  ASSERT_TRUE(rig.Control.Initialize());
  ASSERT_TRUE(rig.Control.ReadStatusData(status));
  EXPECT_THAT(rig.Messages->Lines, testing::Contains("SerialNumber=4294967295"));
  EXPECT_THAT(rig.Messages->Lines, testing::Contains("Model=900 (x0384)"));
  std::vector<uint8_t> buf(16);
  ASSERT_TRUE(rig.Control.ReadData(0x12345, 16, buf.data()));
  EXPECT_EQ(rig.Trace.Count("1: # ReadData 12345"), 1);
}

#ifndef _WIN32
TEST(ControlTest, WithoutASinkTextsGoToTheDebuggerOutput) {
  SimRig rig(PatternImage(1));
  rig.Control.SetDebugMsgIntf(nullptr);
  setenv("TARNWICK_DEBUG_OUTPUT", "1", 1);
  testing::internal::CaptureStderr();
  rig.Control.DeInitialize();
  const std::string err = testing::internal::GetCapturedStderr();
  unsetenv("TARNWICK_DEBUG_OUTPUT");
  EXPECT_NE(err.find("Change To Dongle Mode...\n"), std::string::npos);
}
#endif

TEST(ControlTest, OpenOpensThreeTimesAndEndsOpen) {
  SimRig rig(PatternImage(1));
  rig.Port.Close();
  const int opens = rig.Port.Opens();
  const int closes = rig.Port.Closes();
  rig.Control.Open();
  EXPECT_TRUE(rig.Port.IsOpen());
  EXPECT_EQ(rig.Port.Opens() - opens, 3);
  EXPECT_EQ(rig.Port.Closes() - closes, 2);
  rig.Control.Close();
  EXPECT_FALSE(rig.Port.IsOpen());
}

} // namespace
} // namespace tarnwick
