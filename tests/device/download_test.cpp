#include "device/download.hpp"
#include "device/sim_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::PatternImage;
using test::SimRig;

// A rig in the control's resting state: port closed, no progress sink, the window's sink.
struct JobRig : SimRig {
  explicit JobRig(const TIGotUWholeData& image, sim::SimLoggerOptions options = {})
      : SimRig(image, std::move(options)) {
    Port.Close();
    Control.SetProgress(nullptr);
  }
  std::shared_ptr<test::RecordingProgress> Dialog = std::make_shared<test::RecordingProgress>();
};

TEST(DownloadJobTest, FinishedDownloadHandsOverTheImageAndRestoresTheControl) {
  const auto source = PatternImage(300);
  JobRig rig(source);
  std::unique_ptr<TIGotUWholeData> image;
  {
    const auto job = TIGotUDownload::Create(rig.Control);
    ASSERT_TRUE(job->Execute(rig.Dialog));
    ASSERT_NE(job->WholeData(), nullptr);
    image = job->TakeWholeData();
  }
  test::ExpectSameImage(*image, source);
  EXPECT_FALSE(rig.Port.IsOpen());
  EXPECT_EQ(rig.Control.Progress(), nullptr);
  EXPECT_EQ(rig.Control.DebugMsgIntf(), rig.Messages);
  // Every status text reached both the dialog's second line and the window, in order.
  EXPECT_FALSE(rig.Dialog->Message2.empty());
  EXPECT_EQ(rig.Dialog->Message2, rig.Messages->Lines);
  EXPECT_EQ(rig.Dialog->Message1.front(), "Prepare for download...");
  EXPECT_EQ(rig.Dialog->Reports.back(), std::pair(3, 3));
}

TEST(DownloadJobTest, WithoutAWindowSinkTextsGoToTheDialogOnly) {
  JobRig rig(PatternImage(5));
  rig.Control.SetDebugMsgIntf(nullptr);
  const auto job = TIGotUDownload::Create(rig.Control);
  ASSERT_TRUE(job->Execute(rig.Dialog));
  EXPECT_THAT(rig.Dialog->Message2, testing::Contains("Data Point Count=5"));
  EXPECT_EQ(rig.Control.DebugMsgIntf(), nullptr);
}

TEST(DownloadJobTest, CancelReturnsFalseWithThePortClosed) {
  JobRig rig(PatternImage(300));
  rig.Dialog->CancelAtReport = 0;
  const auto job = TIGotUDownload::Create(rig.Control);
  EXPECT_FALSE(job->Execute(rig.Dialog));
  EXPECT_EQ(job->WholeData(), nullptr);
  EXPECT_FALSE(rig.Port.IsOpen());
  EXPECT_EQ(rig.Control.Progress(), nullptr);
  EXPECT_THAT(rig.Messages->Lines, testing::Contains("Download cancel"));
}

TEST(DownloadJobTest, ReadErrorClosesThePortRestoresTheSinkAndPassesOn) {
  sim::SimLoggerOptions options;
  for (int n = 6; n <= 13; ++n) {
    options.Faults.Scripted[n] = sim::SimFaultKind::Negative; // every try at the first block
  }
  JobRig rig(PatternImage(300), options);
  const auto job = TIGotUDownload::Create(rig.Control);
  EXPECT_THROW(job->Execute(rig.Dialog), EIGotUError);
  EXPECT_EQ(job->WholeData(), nullptr);
  EXPECT_FALSE(rig.Port.IsOpen());
  EXPECT_EQ(rig.Control.Progress(), nullptr);
  EXPECT_EQ(rig.Control.DebugMsgIntf(), rig.Messages);
}

TEST(DownloadJobTest, PortThatDoesNotOpenChangesNothing) {
  sim::SimLoggerOptions options;
  options.Faults.UnplugAfterBlocks = 0;
  JobRig rig(PatternImage(3), options);
  rig.Port.Open();
  EXPECT_THROW(rig.Control.NmeaSwitch(3), Error); // the logger goes at its first command
  rig.Port.Close();
  const auto job = TIGotUDownload::Create(rig.Control);
  EXPECT_THROW(job->Execute(rig.Dialog), Error);
  EXPECT_EQ(rig.Control.DebugMsgIntf(), rig.Messages);
  EXPECT_TRUE(rig.Dialog->Message1.empty());
}

} // namespace
} // namespace tarnwick
