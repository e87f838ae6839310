#include "device/download.hpp"
#include "device/sim_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::PatternImage;
using test::TSimRig;

// A rig in the control's resting state: port closed, no progress sink, the window's sink.
struct JobRig : TSimRig {
  explicit JobRig(const TIGotUWholeData& image, sim::SimLoggerOptions options = {})
      : TSimRig(image, std::move(options)) {
    port.Close();
    control.SetProgress(nullptr);
  }
  std::shared_ptr<test::TRecordingProgress> dialog = std::make_shared<test::TRecordingProgress>();
};

TEST(DownloadJobTest, FinishedDownloadHandsOverTheImageAndRestoresTheControl) {
  const auto source = PatternImage(300);
  JobRig rig(source);
  std::unique_ptr<TIGotUWholeData> image;
  {
    const auto job = TIGotUDownload::Create(rig.control);
    ASSERT_TRUE(job->Execute(rig.dialog));
    ASSERT_NE(job->WholeData(), nullptr);
    image = job->TakeWholeData();
  }
  test::ExpectSameImage(*image, source);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.control.Progress(), nullptr);
  EXPECT_EQ(rig.control.DebugMsgIntf(), rig.messages);
  // Every status text reached both the dialog's second line and the window, in order.
  EXPECT_FALSE(rig.dialog->Message2.empty());
  EXPECT_EQ(rig.dialog->Message2, rig.messages->Lines);
  EXPECT_EQ(rig.dialog->Message1.front(), "Prepare for download...");
  EXPECT_EQ(rig.dialog->Reports.back(), std::pair(3, 3));
}

TEST(DownloadJobTest, WithoutAWindowSinkTextsGoToTheDialogOnly) {
  JobRig rig(PatternImage(5));
  rig.control.SetDebugMsgIntf(nullptr);
  const auto job = TIGotUDownload::Create(rig.control);
  ASSERT_TRUE(job->Execute(rig.dialog));
  EXPECT_THAT(rig.dialog->Message2, testing::Contains("Data Point Count=5"));
  EXPECT_EQ(rig.control.DebugMsgIntf(), nullptr);
}

TEST(DownloadJobTest, CancelReturnsFalseWithThePortClosed) {
  JobRig rig(PatternImage(300));
  rig.dialog->CancelAtReport = 0;
  const auto job = TIGotUDownload::Create(rig.control);
  EXPECT_FALSE(job->Execute(rig.dialog));
  EXPECT_EQ(job->WholeData(), nullptr);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.control.Progress(), nullptr);
  EXPECT_THAT(rig.messages->Lines, testing::Contains("Download cancel"));
}

TEST(DownloadJobTest, ReadErrorClosesThePortRestoresTheSinkAndPassesOn) {
  sim::SimLoggerOptions options;
  for (int n = 6; n <= 13; ++n) {
    options.Faults.Scripted[n] = sim::SimFaultKind::Negative; // every try at the first block
  }
  JobRig rig(PatternImage(300), options);
  const auto job = TIGotUDownload::Create(rig.control);
  EXPECT_THROW(job->Execute(rig.dialog), EIGotUError);
  EXPECT_EQ(job->WholeData(), nullptr);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.control.Progress(), nullptr);
  EXPECT_EQ(rig.control.DebugMsgIntf(), rig.messages);
}

TEST(DownloadJobTest, PortThatDoesNotOpenChangesNothing) {
  sim::SimLoggerOptions options;
  options.Faults.UnplugAfterBlocks = 0;
  JobRig rig(PatternImage(3), options);
  rig.port.Open();
  EXPECT_THROW(rig.control.NmeaSwitch(3), Error); // the logger goes at its first command
  rig.port.Close();
  const auto job = TIGotUDownload::Create(rig.control);
  EXPECT_THROW(job->Execute(rig.dialog), Error);
  EXPECT_EQ(rig.control.DebugMsgIntf(), rig.messages);
  EXPECT_TRUE(rig.dialog->Message1.empty());
}

} // namespace
} // namespace tarnwick
