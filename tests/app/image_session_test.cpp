// The image session both programs open images with: what it refuses and warns about, that a
// refusal keeps the image it had, downloads and saves, eras, and the names of GPX files.
#include "app/image_session.hpp"

#include "common/files.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"
#include "sim/sample_image.hpp"
#include "support/errors.hpp"

#include <csignal>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick::app {
namespace {

using test::ReadFile;
using test::WriteFile;
using ::testing::HasSubstr;

DateTime Utc(int Y, int M, int D, int H = 0) {
  return EncodeDate(Y, M, D) + EncodeTime(H, 0, 0, 0);
}

// A GT-900 image whose first track starts on 2026-06-01, as the logger writes it (2010).
std::unique_ptr<TIGotUWholeData> Sample(int Points = 400) {
  return std::make_unique<TIGotUWholeData>(sim::GenerateSampleImage(
      {sim::SampleFamily::GT900, Points, 3, Utc(2026, 6, 1, 6) + EncodeTime(0, 21, 52, 0)}));
}

std::string StartText(const ImageSession& Session, int Track = 1) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", Session.TrackByNumber(Track).StartTime());
}

// Every way a pair can fail to be an image, and that the image open before stays.
TEST(ImageSession, RefusalsNameTheFileAndKeepWhatWasOpen) {
  const test::TempDir dir;
  Sample()->SaveToFile(dir.File("good"));
  ImageSession session;
  session.Open(dir.File("good"));
  const TIGotUPoints* shown = session.Points();

  WriteFile(dir.File("lone.bin"), std::string(4096 + 64, '\0'));
  WriteFile(dir.File("garbage.dat"), "PK\x03\x04 not a status file\r\n");
  WriteFile(dir.File("garbage.bin"), std::string(4096, '\0'));
  WriteFile(dir.File("other.dat"), "[Settings]\r\nDumpStr=000017\r\n");
  WriteFile(dir.File("other.bin"), "");
  WriteFile(dir.File("nobin.dat"), ReadFile(dir.File("good.dat")));
  WriteFile(dir.File("badhex.dat"), "[Count]\r\nDumpStr=00XY00\r\n");
  WriteFile(dir.File("badhex.bin"), "");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"lone.bin", "lone.dat"},
      {"garbage", "garbage.dat\" holds no logger status"},
      {"other.dat", "other.dat\" holds no logger status"},
      {"nobin", "nobin.bin"},
      {"badhex", "badhex.dat"},
      {"missing", "missing.dat"},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    try {
      session.Open(dir.File(name));
      ADD_FAILURE() << "opened";
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(message));
    }
    EXPECT_EQ(session.Points(), shown);
    EXPECT_EQ(session.Name(), dir.File("good"));
  }
}

// What a save killed between its two renames leaves: the new block file beside the old status
// file. It opens, with the warning the command line prints.
TEST(ImageSession, AMixedPairOpensWithItsWarning) {
  const test::TempDir dir;
  Sample(300)->SaveToFile(dir.File("trip"));
  Sample(500)->SaveToFile(dir.File("newer"));
  WriteFile(dir.File("trip.bin"), ReadFile(dir.File("newer.bin")));
  ImageSession session;
  session.Open(dir.File("trip.dat"));
  ASSERT_EQ(session.Warnings().size(), 1U);
  EXPECT_THAT(session.Warnings()[0], HasSubstr("does not match"));
  EXPECT_EQ(session.Image()->Status.NumberOfPoints(), 300);

  session.Open(dir.File("newer"));
  EXPECT_TRUE(session.Warnings().empty()) << "warnings belong to the image they were found in";
}

#ifdef TARNWICK_KILLED_SAVE
// The real thing: a save killed between its renames. Nothing of the old pair is lost, and the
// mixed pair opens with the warning instead of silently.
TEST(ImageSession, ASaveKilledBetweenItsRenamesIsNoticed) {
  const test::TempDir dir;
  const std::string base = dir.File("trip");
  Sample(300)->SaveToFile(base);
  const std::string oldDat = ReadFile(base + ".dat");
  const auto run = test::RunProcess({TARNWICK_KILLED_SAVE, base});
  ASSERT_EQ(run.ExitCode, 128 + SIGKILL) << run.Err;
  EXPECT_EQ(ReadFile(base + ".dat"), oldDat);

  ImageSession session;
  session.Open(base);
  ASSERT_EQ(session.Warnings().size(), 1U);
  EXPECT_THAT(session.Warnings()[0], HasSubstr("does not match"));
  EXPECT_THAT(session.Warnings()[0], HasSubstr("different saves"));
}
#endif

TEST(ImageSession, DownloadsCountFromTheirMomentAndStayUnsavedUntilSaved) {
  const test::TempDir dir;
  ImageSession session;
  auto image = Sample();
  image->SetDownloadTime(Utc(2026, 12, 10, 5));
  session.Adopt(std::move(image));
  EXPECT_TRUE(session.Unsaved());
  EXPECT_TRUE(session.FromDownload());
  EXPECT_TRUE(session.Name().empty());
  EXPECT_EQ(StartText(session), "2026-06-01 06:21:52");
  EXPECT_EQ(session.Era().Description(), "years read as 2011\u20132026: downloaded 2026-12-10");

  session.Save(dir.File("kept"));
  EXPECT_FALSE(session.Unsaved());
  EXPECT_EQ(session.Name(), dir.File("kept"));

  // Read again from the files, the years are the same; an era chosen by hand wins.
  ImageSession reopened("recorded");
  reopened.Open(dir.File("kept"));
  EXPECT_EQ(StartText(reopened), "2010-06-01 06:21:52");
  const TIGotUTrack* first = &reopened.TrackByNumber(1);
  reopened.SetYearEra("auto");
  EXPECT_EQ(StartText(reopened), "2026-06-01 06:21:52");
  EXPECT_EQ(&reopened.TrackByNumber(1), first) << "the tracks stay where they are";
  EXPECT_THROW(reopened.SetYearEra("soon"), ConvertError);
  EXPECT_EQ(reopened.YearEraSetting(), "auto");
  EXPECT_EQ(StartText(reopened), "2026-06-01 06:21:52");

  // A stored image without the moment reads exactly as before.
  auto old = Sample();
  old->SaveToFile(dir.File("old"));
  ImageSession stored;
  stored.Open(dir.File("old"));
  EXPECT_EQ(StartText(stored), "2010-06-01 06:21:52");
  EXPECT_THROW(stored.TrackByNumber(0), Error);
  EXPECT_THROW(ImageSession("2016a"), ConvertError);
}

TEST(ImageSession, GpxTargetsAndNames) {
  const test::TempDir dir;
  Sample()->SaveToFile(dir.File("trip"));
  ImageSession session;
  session.Open(dir.File("trip.bin"));
  EXPECT_THROW(session.CheckExportTarget(dir.File("trip.dat")), Error);
  EXPECT_THROW(session.CheckExportTarget(dir.File("trip.bin")), Error);
  EXPECT_NO_THROW(session.CheckExportTarget(dir.File("trip.gpx")));
  EXPECT_THROW(session.CheckExportTarget(dir.File("no-such-folder/t.gpx")), Error);

  const TIGotUTrack& one = session.TrackByNumber(1);
  const TIGotUTrack& two = session.TrackByNumber(2);
  const auto names = ImageSession::SplitNames({&one, &two, &one}, dir.File("out"));
  ASSERT_EQ(names.size(), 3U);
  const std::filesystem::path out = dir.File("out");
  EXPECT_EQ(names[0], (out / "20100601-0621.gpx").string());
  EXPECT_NE(names[1], names[0]);
  EXPECT_EQ(names[2], (out / "20100601-0621-2.gpx").string());
  EXPECT_EQ(ImageSession::SuggestedGpxName({&two, &one}), TIGotUDataToGPX::TrackName(two) + ".gpx");
  EXPECT_EQ(ImageSession::SuggestedGpxName({}), "track.gpx");

  const ExportResult result =
      ImageSession::Export({&one, &two}, dir.File("two.gpx"), GPXPreferences{}, nullptr);
  ASSERT_TRUE(result.Done);
  EXPECT_EQ(result.Points, one.Points().size() + two.Points().size());
  EXPECT_THAT(ReadFile(dir.File("two.gpx")), HasSubstr("<trk>"));

  ExportResult big;
  big.Tracks = 2;
  big.Points = 1234567;
  big.WayPoints = 1;
  EXPECT_EQ(big.Summary("a.gpx", ","), "wrote a.gpx: 2 tracks, 1,234,567 points, 1 way point");
  big.LeftOut.TrackPoints = 2;
  EXPECT_EQ(big.Summary("a.gpx"),
            "wrote a.gpx: 2 tracks, 1234567 points, 1 way point, 2 left out (impossible position)");
}

} // namespace
} // namespace tarnwick::app
