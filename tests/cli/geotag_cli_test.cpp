// `tarnwick geotag` run as a user runs it, and its photos read by exiftool, the tool people
// check GPS tags with, which also tags copies of the same photos for comparison.
#include "analysis/geodesy.hpp"

#include "common/ci.hpp"
#include "common/files.hpp"
#include "common/golden.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"
#include "common/test_jpeg.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::MakeTestJpeg;
using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::WriteFile;

ProcessResult Cli(std::vector<std::string> Args, const std::string& Dir) {
  Args.insert(Args.begin(), TARNWICK_CLI);
  return RunProcess(Args, Dir);
}

// A ride in Helsinki on 2026-06-20 from 08:00:00 UTC: a point every 60 s for 30 minutes, then
// none for 40 minutes (too long to interpolate over), then 10 more minutes; going north-east
// and climbing, so that a wrong time or a wrong interpolation shows in every coordinate.
std::string RideGpx() {
  std::ostringstream g;
  g << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
       "<trk><name>ride</name><trkseg>\n";
  g.setf(std::ios::fixed);
  g.precision(7);
  const auto point = [&g](int Minute) {
    const int h = 8 + Minute / 60;
    const int m = Minute % 60;
    g << "<trkpt lat=\"" << 60.16 + Minute * 0.0011 << "\" lon=\"" << 24.93 + Minute * 0.0017
      << "\"><ele>" << 10 + Minute * 0.75 << "</ele><time>2026-06-20T" << (h < 10 ? "0" : "") << h
      << ':' << (m < 10 ? "0" : "") << m << ":00Z</time></trkpt>\n";
  };
  for (int minute = 0; minute <= 30; ++minute) {
    point(minute);
  }
  for (int minute = 70; minute <= 80; ++minute) {
    point(minute);
  }
  g << "</trkseg></trk></gpx>\n";
  return g.str();
}

// Photos named by what they test; times are the camera's in Helsinki (+03:00 in June).
struct PhotoCase {
  const char* Name;
  test::TestExif Exif;
};
const PhotoCase kPhotos[] = {
    {"a_between.jpg", {"2026:06:20 11:03:17", "", ""}},
    {"b_on_point.jpg", {"2026:06:20 11:10:00", "", ""}},
    {"c_offset_tag.jpg", {"2026:06:20 10:20:42", "", "+02:00"}}, // 08:20:42Z
    {"d_gap_near_end.jpg", {"2026:06:20 11:45:00", "", ""}},     // 15 min after the last
    {"e_late_track.jpg", {"2026:06:20 12:15:30", "", ""}},
};

class CliGeotag : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.File("ride.gpx"), RideGpx());
    fs::create_directories(dir_.Path() / "photos");
    uint32_t seed = 1;
    for (const PhotoCase& p : kPhotos) {
      WriteFile(dir_.File(std::string("photos/") + p.Name), MakeTestJpeg(p.Exif, 16, 16, seed++));
    }
  }
  std::string Dir() const { return dir_.Path().string(); }

  test::TempDir dir_;
};

// The report's lines by file: each line's fields.
std::map<std::string, std::vector<std::string>> Rows(const std::string& Out) {
  std::map<std::string, std::vector<std::string>> rows;
  std::istringstream in(Out);
  std::string line;
  std::getline(in, line); // the header
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) {
      continue;
    }
    std::vector<std::string> fields;
    std::istringstream f(line);
    std::string field;
    while (std::getline(f, field, '\t')) {
      fields.push_back(field);
    }
    rows[fs::path(fields.at(0)).filename().string()] = fields;
  }
  return rows;
}

TEST_F(CliGeotag, ReportsEachPhotoAndExitsByWhetherAllCouldBeTagged) {
  WriteFile(dir_.File("photos/f_no_time.jpg"), MakeTestJpeg({}, 16, 16, 9));
  WriteFile(dir_.File(std::string("photos/g_far\x01name.jpg")),
            MakeTestJpeg({"2026:06:20 20:00:00", "", ""}, 16, 16, 10));
  const auto dry =
      Cli({"geotag", "ride.gpx", "photos", "--tz", "Europe/Helsinki", "--dry-run"}, Dir());
  EXPECT_EQ(dry.ExitCode, 1) << dry.Err;
  EXPECT_TRUE(test::MatchesGolden("cli/geotag_dry_run.txt", dry.Out));
  // A dry run writes nothing.
  EXPECT_EQ(ReadFile(dir_.File("photos/a_between.jpg")), MakeTestJpeg(kPhotos[0].Exif, 16, 16, 1));

  // The photos that can be tagged, tagged: exit 0. Again: skipped as they have a position,
  // still exit 0; with --overwrite tagged again.
  fs::remove(dir_.File("photos/f_no_time.jpg"));
  fs::remove(dir_.File(std::string("photos/g_far\x01name.jpg")));
  const auto tag = Cli({"geotag", "ride.gpx", "photos", "--tz", "Europe/Helsinki"}, Dir());
  EXPECT_EQ(tag.ExitCode, 0) << tag.Err;
  EXPECT_NE(tag.Out.find("# 5 photos: 5 tagged\n"), std::string::npos) << tag.Out;
  const auto again = Cli({"geotag", "ride.gpx", "photos", "--tz", "Europe/Helsinki"}, Dir());
  EXPECT_EQ(again.ExitCode, 0) << again.Err;
  EXPECT_NE(again.Out.find("# 5 photos: 0 tagged, 5 skipped (has a position)\n"), std::string::npos)
      << again.Out;
  const auto over = Cli({"geotag", "ride.gpx", "photos/a_between.jpg", "--tz", "Europe/Helsinki",
                         "--overwrite", "--clock-offset", "-60"},
                        Dir());
  EXPECT_EQ(over.ExitCode, 0) << over.Err;
  EXPECT_EQ(Rows(over.Out)["a_between.jpg"].at(2), "2026-06-20T08:04:17Z");

  // What cannot be used is a usage error; a missing photo a failure.
  EXPECT_EQ(Cli({"geotag", "ride.gpx", "photos", "--tz", "Mars/Olympus"}, Dir()).ExitCode, 2);
  EXPECT_EQ(Cli({"geotag", "ride.gpx", "photos", "--track", "2"}, Dir()).ExitCode, 1);
  const auto missing = Cli({"geotag", "ride.gpx", "nowhere.jpg"}, Dir());
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Err.find("nowhere.jpg"), std::string::npos);
}

TEST_F(CliGeotag, SidecarsAndBackupsLeaveTheOriginalAsItWas) {
  const std::string before = ReadFile(dir_.File("photos/a_between.jpg"));
  const auto side =
      Cli({"geotag", "ride.gpx", "photos/a_between.jpg", "--tz", "Europe/Helsinki", "--sidecar"},
          Dir());
  EXPECT_EQ(side.ExitCode, 0) << side.Err;
  EXPECT_EQ(ReadFile(dir_.File("photos/a_between.jpg")), before);
  EXPECT_NE(ReadFile(dir_.File("photos/a_between.jpg.xmp")).find("GPSLongitude"),
            std::string::npos);
  const auto backup = Cli(
      {"geotag", "ride.gpx", "photos/a_between.jpg", "--tz", "Europe/Helsinki", "--backup"}, Dir());
  EXPECT_EQ(backup.ExitCode, 0) << backup.Err;
  EXPECT_EQ(ReadFile(dir_.File("photos/a_between.jpg.original")), before);
  EXPECT_NE(ReadFile(dir_.File("photos/a_between.jpg")), before);
}

// exiftool reads the position we print, and tags copies of the same photos from the same GPX
// file at the same place.
TEST_F(CliGeotag, ExiftoolReadsOurTagsAndAgreesWithinAMetre) {
  if (!test::HasTool("exiftool")) {
    TARNWICK_SKIP_OR_FAIL_UNDER_CI("exiftool is missing (libimage-exiftool-perl)");
  }
  fs::copy(dir_.Path() / "photos", dir_.Path() / "theirs");
  // Both read the camera's zone from TZ: ours by --tz local, exiftool by itself.
  const auto ours =
      test::RunShell("cd " + test::Quote(Dir()) + " && TZ=Europe/Helsinki " +
                     test::Quote(TARNWICK_CLI) + " geotag ride.gpx photos --tz local");
  ASSERT_EQ(ours.ExitCode, 0) << ours.Err << ours.Out;
  // exiftool reads OffsetTimeOriginal only from its composite tag, which a photo without any
  // offset or sub-second tag lacks: the later assignment wins where it is there.
  const auto theirs = test::RunShell(
      "cd " + test::Quote(Dir()) +
      " && TZ=Europe/Helsinki exiftool -q -geotag ride.gpx '-geotime<DateTimeOriginal' "
      "'-geotime<SubSecDateTimeOriginal' -overwrite_original theirs 2>&1");
  ASSERT_EQ(theirs.ExitCode, 0) << theirs.Out;

  const auto report = Rows(ours.Out);
  for (const PhotoCase& p : kPhotos) {
    SCOPED_TRACE(p.Name);
    const auto read = [&](const std::string& Folder) {
      const auto r = test::RunShell("exiftool -n -s3 -GPSLatitude -GPSLongitude -GPSAltitude " +
                                    test::Quote(Dir() + "/" + Folder + "/" + p.Name));
      std::istringstream in(r.Out);
      double lat = NAN;
      double lon = NAN;
      double ele = NAN;
      in >> lat >> lon >> ele;
      return std::array<double, 3>{lat, lon, ele};
    };
    const auto mine = read("photos");
    const auto other = read("theirs");
    const auto& row = report.at(p.Name);
    EXPECT_NEAR(mine[0], std::stod(row.at(3)), 1e-6);
    EXPECT_NEAR(mine[1], std::stod(row.at(4)), 1e-6);
    EXPECT_NEAR(mine[2], std::stod(row.at(5)), 0.05);
    EXPECT_LT(GeodesicDistanceM(mine[0], mine[1], other[0], other[1]), 1.0)
        << mine[0] << ',' << mine[1] << " vs exiftool's " << other[0] << ',' << other[1];
    EXPECT_NEAR(mine[2], other[2], 0.05);
  }
}

} // namespace
} // namespace tarnwick
