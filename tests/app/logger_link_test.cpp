// The link that both programs keep: settings, port handling, downloads and exports.
#include "app/logger_link.hpp"

#include "common/fake_device.hpp"
#include "common/temp_dir.hpp"
#include "sim/sample_image.hpp"
#include "support/errors.hpp"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick::app {
namespace {

using test::FakeDevice;
using ::testing::HasSubstr;

struct SettingsCase {
  const char* Ini;
  int ReadRetries;
  int CommandRetries;
  bool Debug;
  bool Immediate;
};

class SettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsTest, ReadsTheKeysAsTheWindowUsesThem) {
  const test::TempDir dir;
  std::ofstream(dir.File("t.ini")) << GetParam().Ini;
  const Settings s = ReadSettings(dir.File("t.ini"));
  EXPECT_EQ(s.ReadRetryCount, GetParam().ReadRetries);
  EXPECT_EQ(s.CommandRetryCount, GetParam().CommandRetries);
  EXPECT_EQ(s.Debug, GetParam().Debug);
  EXPECT_EQ(s.Immediate, GetParam().Immediate);

  TIGotUProtocol protocol;
  TDebugLog log("t", dir.Path().string());
  ApplySettings(s, protocol, log);
  EXPECT_EQ(protocol.ReadRetryCount(), GetParam().ReadRetries);
  EXPECT_EQ(protocol.CommandRetryCount(), GetParam().CommandRetries);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsTest,
    ::testing::Values(SettingsCase{"", 5, 8, false, false},
                      SettingsCase{
                          "[Setting]\nReadRetryCount=0x10\nCommandRetryCount=$A\nDebug=1\n", 16, 10,
                          true, false},
                      SettingsCase{"[Setting]\nReadRetryCount=abc\nDebug=0\n", 5, 8, false, false},
                      // Immediate counts only when the log is switched on.
                      SettingsCase{"[Debug]\nOutputLog=0\nImmediate=1\n", 5, 8, false, false},
                      SettingsCase{"[Debug]\nOutputLog=1\nImmediate=1\n", 5, 8, false, true}));

TEST(SettingsTest, MissingFileGivesTheDefaults) {
  const Settings s = ReadSettings("/nonexistent/tarnwick-viewer.ini");
  EXPECT_FALSE(s.Debug);
  EXPECT_EQ(s.ReadRetryCount, 5);
}

class LoggerLinkTest : public ::testing::Test {
 protected:
  LoggerLinkTest() {
    auto device = std::make_unique<FakeDevice>();
    fake_ = device.get();
    link_ = std::make_unique<LoggerLink>(Settings{}, "t", std::move(device));
    fake_->Protocol = &link_->Protocol();
  }

  TIGotUWholeData image_ = sim::GenerateSampleImage({sim::SampleFamily::GT900, 300, 3});
  FakeDevice* fake_ = nullptr;
  std::unique_ptr<LoggerLink> link_;
};

TEST_F(LoggerLinkTest, ChoosesTheOnlyLoggerOrTheNumberedOne) {
  EXPECT_THAT([&] { link_->ChoosePort({}); },
              ::testing::ThrowsMessage<Error>(HasSubstr("no logger found")));
  fake_->Plug({"first", &image_, {}});
  EXPECT_NE(link_->ChoosePort({}), nullptr);
  sim::SimLoggerOptions sixteen;
  sixteen.ProductID = kIGotUProductChunk16;
  fake_->Plug({"second", &image_, sixteen});
  EXPECT_THAT([&] { link_->ChoosePort({}); },
              ::testing::ThrowsMessage<Error>(HasSubstr("2 loggers found")));
  EXPECT_EQ(link_->ChoosePort({"", 8, 2})->ChunkSize(), 16);
  EXPECT_THAT(
      [&] {
        link_->ChoosePort({"", 8, 3});
      },
      ::testing::ThrowsMessage<Error>(HasSubstr("there is no logger 3")));
  sim::SimLoggerOptions unknown;
  unknown.ProductID = 0x1234;
  fake_->Plug({"third", &image_, unknown});
  EXPECT_THAT(
      [&] {
        link_->ChoosePort({"", 8, 3});
      },
      ::testing::ThrowsMessage<Error>(HasSubstr("product ID 1234")));
}

TEST_F(LoggerLinkTest, UsePortBindsAndCheckPortDropsAGoneLogger) {
  const int number = fake_->Plug({"one", &image_, {}});
  link_->UsePort(link_->ChoosePort({}));
  ASSERT_NE(link_->Port(), nullptr);
  EXPECT_EQ(link_->Protocol().Port(), link_->Port());
  EXPECT_EQ(link_->Port()->DebugLog(), &link_->DebugLog());
  EXPECT_FALSE(link_->CheckPort());
  fake_->Unplug(number);
  EXPECT_TRUE(link_->CheckPort());
  EXPECT_EQ(link_->Port(), nullptr);
  EXPECT_EQ(link_->Protocol().Port(), nullptr);
}

TEST_F(LoggerLinkTest, BrokenEnumerationListsNothing) {
  fake_->Broken = true;
  EXPECT_EQ(link_->EnumDevices()->Count(), 0);
}

TEST_F(LoggerLinkTest, DownloadsTheImageOrNothingWhenCancelled) {
  fake_->Plug({"one", &image_, {}});
  link_->UsePort(link_->ChoosePort({}));
  const auto image = link_->Download(nullptr);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Status.NumberOfPoints(), 300);
  EXPECT_EQ(
      std::vector<uint8_t>(image->Blocks()->DataBuffer(), image->Blocks()->DataBuffer() + 300 * 32),
      std::vector<uint8_t>(image_.Blocks()->DataBuffer(),
                           image_.Blocks()->DataBuffer() + 300 * 32));

  const std::atomic<bool> cancel{true};
  EXPECT_EQ(link_->Download(nullptr, &cancel), nullptr);
  // The logger is back in its normal mode after the cancel.
  EXPECT_EQ(fake_->LastPort->Logger().Mode(), sim::SimMode::Normal);
}

TEST_F(LoggerLinkTest, ExportWritesTheFileOrNothingWhenCancelled) {
  const test::TempDir dir;
  const TIGotUPoints points(image_.Status.FModel, image_.Blocks());
  const std::vector<const TIGotUTrack*> tracks{&points.Tracks()[0]};
  const std::atomic<bool> cancel{true};
  EXPECT_FALSE(LoggerLink::ExportGpx(tracks, dir.File("c.gpx"), {}, nullptr, &cancel));
  EXPECT_FALSE(std::filesystem::exists(dir.File("c.gpx")));
  EXPECT_TRUE(LoggerLink::ExportGpx(tracks, dir.File("t.gpx"), {"1.0", false, false}, nullptr));
  std::ifstream in(dir.File("t.gpx"));
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_THAT(text, HasSubstr("version=\"1.0\""));
}

TEST(DownloadProgressTextTest, TellsRateAndTimeLeftOnceThereIsARate) {
  EXPECT_EQ(DownloadProgressText(0, 10, 0), "0/10 blocks   0%");
  EXPECT_EQ(DownloadProgressText(5, 10, 5), "5/10 blocks  50%  4.0 KiB/s  0:05 left");
}

} // namespace
} // namespace tarnwick::app
