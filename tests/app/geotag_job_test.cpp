#include "app/geotag_job.hpp"
#include "photos/photo_metadata.hpp"
#include "support/errors.hpp"
#include "support/time_zone.hpp"

#include "common/files.hpp"
#include "common/recording_progress.hpp"
#include "common/temp_dir.hpp"
#include "common/test_jpeg.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>

namespace tarnwick::app {
namespace {

namespace fs = std::filesystem;
using test::MakeTestJpeg;
using test::ReadFile;
using test::TestExif;
using test::WriteFile;

// 2026-06-20 08:00:00 UTC; Helsinki shows 11:00 (summer time, +03:00).
constexpr int64_t kT0 = 1781942400000;

// A track north from (60, 24), one point every 10 s for an hour, rising 1 m per point.
TrackSeries NorthTrack(int64_t Start = kT0) {
  TrackSeries s;
  for (int i = 0; i <= 360; ++i) {
    s.TimeMs.push_back(Start + int64_t{i} * 10000);
    s.Latitude.push_back(60 + i * 0.0001);
    s.Longitude.push_back(24);
    s.GpsElevation.push_back(10 + i);
  }
  return s;
}

class GeotagJobTest : public ::testing::Test {
 protected:
  std::string Photo(const std::string& Name, const TestExif& Exif, uint32_t Seed = 1) {
    const std::string path = dir_.File(Name);
    WriteFile(path, MakeTestJpeg(Exif, 16, 16, Seed));
    return path;
  }
  GeotagOptions Helsinki() {
    GeotagOptions o;
    o.CameraZone = TimeZone::Named("Europe/Helsinki");
    return o;
  }

  test::TempDir dir_;
};

TEST_F(GeotagJobTest, CameraTimesBecomeUtcByOffsetZoneAndClockOffset) {
  const std::vector<std::string> photos{
      Photo("summer.jpg", {"2026:06:20 11:00:10", "", ""}),
      Photo("offset.jpg", {"2026:06:20 10:00:10", "25", "+02:00"}), // the tag beats the zone
      Photo("winter.jpg", {"2026:01:15 12:00:00", "", ""}),
      // The hour Helsinki's clocks show twice (summer time ends 2026-10-25 04:00 local): the
      // first of the two, still +03:00.
      Photo("twice.jpg", {"2026:10:25 03:30:00", "", ""}),
      // The hour they skip (summer time starts 2026-03-29 03:00 local): read with the offset
      // before the change, +02:00.
      Photo("skipped.jpg", {"2026:03:29 03:30:00", "", ""}), Photo("none.jpg", {"", "", ""})};
  GeotagJob job({NorthTrack()}, photos);
  ASSERT_TRUE(job.Complete());
  GeotagOptions o = Helsinki();
  EXPECT_EQ(job.PhotoUtcMs(0, o), kT0 + 10000);
  EXPECT_EQ(job.PhotoUtcMs(1, o), kT0 + 10250);
  EXPECT_EQ(job.PhotoUtcMs(2, o), 1768471200000); // 10:00Z, +02:00 in winter
  EXPECT_EQ(job.PhotoUtcMs(3, o), 1792888200000); // 00:30Z
  EXPECT_EQ(job.PhotoUtcMs(4, o), 1774747800000); // 01:30Z
  EXPECT_EQ(job.PhotoUtcMs(5, o), std::nullopt);

  // A camera 95.5 s fast took the photo 95.5 s before its clock says.
  o.ClockOffsetSeconds = 95.5;
  EXPECT_EQ(job.PhotoUtcMs(0, o), kT0 + 10000 - 95500);
  EXPECT_EQ(job.PhotoUtcMs(1, o), kT0 + 10250 - 95500);
  // And the offset found from a photo of the GPS's clock gives that photo the GPS's time.
  const auto found = job.ClockOffsetFor(0, kT0 + 2000, o);
  ASSERT_TRUE(found);
  EXPECT_DOUBLE_EQ(*found, 8);
  o.ClockOffsetSeconds = *found;
  EXPECT_EQ(job.PhotoUtcMs(0, o), kT0 + 2000);
}

TEST_F(GeotagJobTest, PlanMatchesEachPhotoAndSaysWhy) {
  const std::string notPhoto = dir_.File("notes.jpg");
  WriteFile(notPhoto, "not a photo");
  const std::vector<std::string> photos{
      Photo("a.jpg", {"2026:06:20 11:00:15", "", ""}),
      Photo("far.jpg", {"2026:06:20 14:00:00", "", ""}), // two hours after the track ends
      Photo("none.jpg", {"", "", ""}), notPhoto};
  GeotagJob job({NorthTrack()}, photos);
  const std::vector<GeotagRow> rows = job.Plan(Helsinki());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].Action, GeotagAction::Tag);
  ASSERT_TRUE(rows[0].Position);
  EXPECT_NEAR(rows[0].Position->Latitude, 60.00015, 1e-9);
  EXPECT_DOUBLE_EQ(rows[0].Position->Elevation, 11.5);
  EXPECT_EQ(rows[0].CameraTime, "2026-06-20 11:00:15");
  EXPECT_EQ(rows[0].UtcTime, "2026-06-20T08:00:15Z");
  EXPECT_EQ(GeotagJob::TsvLine(rows[0]),
            photos[0] + "\t2026-06-20 11:00:15\t2026-06-20T08:00:15Z\t60.0001500\t24.0000000\t"
                        "11.5\t5.0\ttag\t");
  EXPECT_EQ(rows[1].Action, GeotagAction::OutOfRange);
  EXPECT_EQ(rows[2].Action, GeotagAction::NoTime);
  EXPECT_EQ(rows[3].Action, GeotagAction::NotAPhoto);
  EXPECT_FALSE(GeotagJob::Summarize(rows).AllDone());
  EXPECT_EQ(GeotagJob::Summarize(rows).Text(false),
            "4 photos: 1 tagged, 1 without a time, 1 out of the tracks' range, 1 not a photo");

  // A wider gap brings the far photo in as the nearest point; a track that is not there is
  // refused.
  GeotagOptions wide = Helsinki();
  wide.MaxGapSeconds = 3 * 3600;
  EXPECT_EQ(job.Plan(wide)[1].Action, GeotagAction::Tag);
  EXPECT_EQ(job.Plan(wide)[1].Position->How, PositionAtTime::Kind::Nearest);
  wide.Track = 2;
  EXPECT_THROW(job.Plan(wide), Error);
}

TEST_F(GeotagJobTest, ApplyWritesOnlyWhatThePlanSaysAndSkipsTaggedPhotos) {
  const std::vector<std::string> photos{Photo("a.jpg", {"2026:06:20 11:10:00", "", ""}, 1),
                                        Photo("b.jpg", {"2026:06:20 11:20:00", "", ""}, 2),
                                        Photo("far.jpg", {"2026:06:20 15:00:00", "", ""}, 3)};
  const std::string farBefore = ReadFile(photos[2]);

  // A dry run touches nothing.
  {
    GeotagJob job({NorthTrack()}, photos);
    GeotagOptions dry = Helsinki();
    dry.DryRun = true;
    const auto rows = job.Apply(dry);
    EXPECT_EQ(rows[0].Action, GeotagAction::WouldTag);
    EXPECT_FALSE(ReadPhotoInfo(photos[0]).Position);
  }
  GeotagJob job({NorthTrack()}, photos);
  auto progress = std::make_shared<test::RecordingProgress>();
  const auto rows = job.Apply(Helsinki(), progress);
  EXPECT_EQ(rows[0].Action, GeotagAction::Tagged);
  EXPECT_EQ(rows[1].Action, GeotagAction::Tagged);
  EXPECT_EQ(rows[2].Action, GeotagAction::OutOfRange);
  EXPECT_EQ(ReadFile(photos[2]), farBefore);
  EXPECT_EQ(progress->Reports.back(), std::make_pair(2, 2));
  const PhotoInfo a = ReadPhotoInfo(photos[0]);
  ASSERT_TRUE(a.Position);
  EXPECT_NEAR(a.Position->first, 60.006, 1e-7);
  EXPECT_NEAR(a.Position->second, 24, 1e-7);

  // Tagged photos are skipped the next time, by the same job (which remembers what it wrote)
  // as by a new one, unless overwriting is asked for.
  EXPECT_EQ(job.Plan(Helsinki())[0].Action, GeotagAction::SkippedHasPosition);
  EXPECT_EQ(job.Plan(Helsinki())[2].Action, GeotagAction::OutOfRange);
  GeotagJob again({NorthTrack(kT0 - 60000)}, photos);
  EXPECT_EQ(again.Plan(Helsinki())[0].Action, GeotagAction::SkippedHasPosition);
  GeotagOptions overwrite = Helsinki();
  overwrite.Overwrite = true;
  EXPECT_EQ(again.Apply(overwrite)[0].Action, GeotagAction::Tagged);
  EXPECT_NEAR(ReadPhotoInfo(photos[0]).Position->first, 60.0066, 1e-7);
}

TEST_F(GeotagJobTest, SidecarsLeaveThePhotoAloneAndFailuresStayPerPhoto) {
  const std::vector<std::string> photos{Photo("a.jpg", {"2026:06:20 11:10:00", "", ""}, 1),
                                        Photo("gone.jpg", {"2026:06:20 11:10:00", "", ""}, 2)};
  const std::string before = ReadFile(photos[0]);
  GeotagJob job({NorthTrack()}, photos);
  fs::remove(photos[1]); // gone between reading and writing
  GeotagOptions o = Helsinki();
  o.Sidecar = true;
  const auto rows = job.Apply(o);
  EXPECT_EQ(rows[0].Action, GeotagAction::SidecarWritten);
  EXPECT_EQ(ReadFile(photos[0]), before);
  EXPECT_NE(ReadFile(XmpSidecarName(photos[0])).find("GPSLatitude"), std::string::npos);

  o.Sidecar = false;
  const auto written = GeotagJob(job.Series(), {photos[0], photos[1]}).Apply(o);
  EXPECT_EQ(written[0].Action, GeotagAction::Tagged);
  EXPECT_EQ(written[1].Action, GeotagAction::NotAPhoto); // could not be read at all
  EXPECT_FALSE(written[1].Detail.empty());
}

TEST_F(GeotagJobTest, ACancelLeavesEachPhotoDoneOrUntouched) {
  std::vector<std::string> photos;
  std::vector<std::string> before;
  for (int i = 0; i < 24; ++i) {
    photos.push_back(Photo("p" + std::to_string(i) + ".jpg", {"2026:06:20 11:10:00", "", ""},
                           static_cast<uint32_t>(i + 1)));
    before.push_back(ReadFile(photos.back()));
  }
  // Cancelled before the first photo: nothing is touched.
  {
    GeotagJob job({NorthTrack()}, photos);
    const std::atomic<bool> cancel{true};
    for (const GeotagRow& r : job.Apply(Helsinki(), nullptr, &cancel)) {
      EXPECT_EQ(r.Action, GeotagAction::Cancelled);
    }
    EXPECT_EQ(ReadFile(photos[0]), before[0]);
  }
  // Cancelled at the third report, after the calling thread's second photo: the other writers
  // may have done any number more, but each photo is tagged or byte-identical.
  GeotagJob job({NorthTrack()}, photos);
  auto progress = std::make_shared<test::RecordingProgress>();
  progress->CancelAtReport = 2;
  const auto rows = job.Apply(Helsinki(), progress);
  size_t tagged = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].Action == GeotagAction::Tagged) {
      ++tagged;
      EXPECT_TRUE(ReadPhotoInfo(photos[i]).Position) << photos[i];
    } else {
      ASSERT_EQ(rows[i].Action, GeotagAction::Cancelled);
      EXPECT_EQ(ReadFile(photos[i]), before[i]) << photos[i];
    }
  }
  EXPECT_GE(tagged, 2u);
  EXPECT_EQ(test::FileNames(dir_.Path()).size(), photos.size()); // nothing left beside them

  // A cancel at the first report while reading leaves an incomplete job.
  auto reading = std::make_shared<test::RecordingProgress>();
  reading->CancelAtReport = 0;
  EXPECT_FALSE(GeotagJob({NorthTrack()}, photos, reading).Complete());
}

TEST_F(GeotagJobTest, CollectPhotosListsFoldersInAStableOrderWithoutHiddenOrOurOwnFiles) {
  fs::create_directories(dir_.Path() / "sub");
  for (const char* name : {"b.JPG", "a.jpg", ".hidden.jpg", "c.jpg~", "d.jpg.original", "e.jpg.xmp",
                           "notes.txt", "sub/f.nef"}) {
    WriteFile(dir_.File(name), "x");
  }
  std::vector<std::string> problems;
  const std::string root = dir_.Path().string();
  EXPECT_EQ(CollectPhotos({root}, false, problems),
            (std::vector<std::string>{root + "/a.jpg", root + "/b.JPG"}));
  EXPECT_TRUE(problems.empty());
  // A file named on its own is taken whatever its name, and once however often it comes.
  EXPECT_EQ(CollectPhotos({root + "/notes.txt", root, root + "/a.jpg", root + "/missing.jpg"}, true,
                          problems),
            (std::vector<std::string>{root + "/notes.txt", root + "/a.jpg", root + "/b.JPG",
                                      root + "/sub/f.nef"}));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("missing.jpg"), std::string::npos);
}

} // namespace
} // namespace tarnwick::app
