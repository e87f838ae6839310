// Checks the exported files with the programs people open them in (gpsbabel, GDAL's ogrinfo,
// xmllint), and the GPX commands of the command-line tool that writes them.
#include "gpx/gpx_file.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "sim/sample_image.hpp"

#include "common/ci.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"
#include "gpx/gpx_test_util.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace tarnwick {
namespace {

using test::CountOf;
using test::Quote;
using test::RunShell;

std::vector<std::string> Split(const std::string& Line, char Delim) {
  std::vector<std::string> cells;
  std::stringstream s(Line);
  std::string cell;
  while (std::getline(s, cell, Delim)) {
    cells.push_back(cell);
  }
  if (!Line.empty() && Line.back() == Delim) {
    cells.emplace_back();
  }
  return cells;
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> lines = Split(Text, '\n');
  for (auto& line : lines) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
  }
  if (!lines.empty() && lines.back().empty()) {
    lines.pop_back();
  }
  return lines;
}

struct Layout {
  const char* Family;
  const char* Version;
  bool Strict;
};

void PrintTo(const Layout& Layout, std::ostream* Out) {
  *Out << Layout.Family << " GPX " << Layout.Version << (Layout.Strict ? " strict" : " default");
}

std::string LayoutName(const ::testing::TestParamInfo<Layout>& Info) {
  std::string v = Info.param.Version;
  v.erase(v.find('.'), 1);
  return std::string(Info.param.Family) + "_gpx" + v + (Info.param.Strict ? "_strict" : "_default");
}

class Consumers : public ::testing::TestWithParam<Layout> {
 protected:
  static void SetUpTestSuite() {
    TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class());
    dir_ = new test::TempDir();
    sim::GenerateSampleImage({sim::SampleFamily::GT120, 700, 3}).SaveToFile(Image("gt120"));
    sim::GenerateSampleImage({sim::SampleFamily::GT900, 1500, 7}).SaveToFile(Image("gt900"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  static std::string Image(const std::string& Family) { return dir_->File(Family); }

  static test::ProcessResult Cli(const std::string& Args) {
    return RunShell(Quote(TARNWICK_CLI) + " " + Args + " 2>&1");
  }

  // Exports every track of the parameter's image with the CLI and returns the file.
  std::string Export() {
    const Layout& l = GetParam();
    const std::string file = dir_->File(LayoutName({l, 0}) + ".gpx");
    const auto r = Cli("export " + Quote(Image(l.Family)) + " --all -o " + Quote(file) + " --gpx " +
                       l.Version + (l.Strict ? " --strict" : ""));
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    EXPECT_EQ(r.Out.rfind("wrote " + file + ": ", 0), 0u) << r.Out;
    return file;
  }

  static test::TempDir* dir_;
};
test::TempDir* Consumers::dir_ = nullptr;

// Our own reading of a file, point by point, to compare the consumers with.
struct PointView {
  std::string Time; // yyyy/mm/dd hh:mm:ss[.zzz], as gpsbabel prints it
  double Ele = 0;
  std::optional<int> Sat, HR, Cad;
};

std::vector<PointView> PointsOf(const std::string& File) {
  TGPXFile doc;
  doc.Load(File);
  std::vector<PointView> points;
  for (int t = 0; t < doc.Tracks().Count(); ++t) {
    const TGPXTrkType& track = doc.Tracks()[t];
    const auto& ext = track.Extension<TGPXTrkTypeTpx2>();
    for (int i = 0; i < track.Count(); ++i) {
      const TGPXWptType& p = track.Points(i);
      PointView v;
      v.Time = TUTCDateTime::DateTimeToStr(p._time);
      std::replace(v.Time.begin(), v.Time.begin() + 10, '-', '/');
      if (v.Time.size() > 4 && v.Time.compare(v.Time.size() - 4, 4, ".000") == 0) {
        v.Time.resize(v.Time.size() - 4);
      }
      v.Ele = p._ele;
      if (p.Have(TWptTypeDataFlag::wdfSat)) {
        v.Sat = p._sat;
      }
      const auto& rec = ext.TrkSegExt[static_cast<size_t>(i)];
      if (rec.Have(TTpxTypeDataFlag::tpxHR)) {
        v.HR = rec.HR;
      }
      if (rec.Have(TTpxTypeDataFlag::tpxCad)) {
        v.Cad = rec.Cad;
      }
      points.push_back(v);
    }
  }
  return points;
}

// The schema that checks a strict file of Version with the TrackPointExtension v2: for GPX 1.0,
// one written into Dir that imports both.
std::string SchemaFor(const std::string& Version, const std::string& Schemas,
                      const test::TempDir& Dir) {
  if (Version == "1.1") {
    return Schemas + "/gpx-1.1-with-tpx2.xsd";
  }
  const std::string xsd = Dir.File("gpx-1.0-with-tpx2.xsd");
  test::WriteFile(xsd, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                       "targetNamespace=\"urn:x-gpx10-validation\">\n"
                       "  <xsd:import namespace=\"http://www.topografix.com/GPX/1/0\" "
                       "schemaLocation=\"" +
                           Schemas +
                           "/gpx-1.0.xsd\"/>\n"
                           "  <xsd:import namespace=\"http://www.garmin.com/xmlschemas/"
                           "TrackPointExtension/v2\" schemaLocation=\"" +
                           Schemas + "/TrackPointExtensionv2.xsd\"/>\n</xsd:schema>\n");
  return xsd;
}

TEST_P(Consumers, XmllintAcceptsTheFile) {
  ASSERT_TRUE(test::HasTool("xmllint")) << "xmllint is missing; scripts/install-deps installs it";
  const std::string file = Export();
  const auto r = RunShell("xmllint --noout " + Quote(file) + " 2>&1");
  EXPECT_EQ(r.ExitCode, 0) << r.Out;
}

// The strict layout only: the default one is not meant to pass the schemas.
class StrictLayouts : public Consumers {};

TEST_P(StrictLayouts, AreValidAgainstTheSchemas) {
  const Layout& l = GetParam();
  const auto schemas = test::SchemaDir();
  if (!schemas) {
    TARNWICK_SKIP_OR_FAIL_UNDER_CI("no GPX schemas in ../shared/schemas or $TARNWICK_SCHEMA_DIR");
  }
  const std::string file = Export();
  const std::string xsd = SchemaFor(l.Version, *schemas, *dir_);
  const auto r = RunShell("xmllint --noout --schema " + Quote(xsd) + " " + Quote(file) + " 2>&1");
  EXPECT_EQ(r.ExitCode, 0) << r.Out.substr(0, 2000);
}

TEST_P(Consumers, GpsbabelSeesEveryPointWithItsValues) {
  ASSERT_TRUE(test::HasTool("gpsbabel")) << "gpsbabel is missing; scripts/install-deps installs it";
  const Layout& l = GetParam();
  const std::string file = Export();
  const std::vector<PointView> ours = PointsOf(file);
  const auto r = RunShell("gpsbabel -t -i gpx -f " + Quote(file) + " -o unicsv -F - 2>&1");
  ASSERT_EQ(r.ExitCode, 0) << r.Out;
  const std::vector<std::string> lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), ours.size() + 1) << r.Out.substr(0, 500);
  const std::vector<std::string> header = Split(lines[0], ',');
  const auto column = [&](const std::string& name) -> int {
    const auto it = std::find(header.begin(), header.end(), name);
    return it == header.end() ? -1 : static_cast<int>(it - header.begin());
  };
  const int date = column("Date"), time = column("Time"), alt = column("Altitude");
  const int sat = column("Satellites"), hr = column("Heartrate"), cad = column("Cadence");
  ASSERT_TRUE(date >= 0 && time >= 0 && alt >= 0) << lines[0];
  const bool gt120 = std::string(l.Family) == "gt120";
  ASSERT_EQ(sat >= 0, gt120) << lines[0];
  // gpsbabel takes the extension only from inside an "extensions" element, which GPX 1.0's
  // schema does not allow; strict 1.0 files therefore carry heart rate and cadence where
  // gpsbabel does not look (see the README).
  const bool samples = !gt120 && !(l.Strict && std::string(l.Version) == "1.0");
  if (samples) {
    ASSERT_TRUE(hr >= 0 && cad >= 0) << lines[0];
  }
  const auto same = [](const std::string& theirs, const std::optional<int>& mine) {
    return mine ? (theirs == std::to_string(*mine) || (theirs.empty() && *mine == 0))
                : theirs.empty();
  };
  int withHR = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const std::vector<std::string> cells = Split(lines[i + 1], ',');
    ASSERT_EQ(cells.size(), header.size()) << lines[i + 1];
    EXPECT_EQ(cells[static_cast<size_t>(date)] + " " + cells[static_cast<size_t>(time)],
              ours[i].Time)
        << "point " << i;
    EXPECT_NEAR(std::stod(cells[static_cast<size_t>(alt)]), ours[i].Ele, 0.051) << "point " << i;
    if (gt120) {
      EXPECT_TRUE(same(cells[static_cast<size_t>(sat)], ours[i].Sat)) << "point " << i;
    }
    if (samples) {
      EXPECT_TRUE(same(cells[static_cast<size_t>(hr)], ours[i].HR)) << lines[i + 1];
      EXPECT_TRUE(same(cells[static_cast<size_t>(cad)], ours[i].Cad)) << lines[i + 1];
      withHR += ours[i].HR.has_value();
    }
  }
  if (samples) {
    EXPECT_GT(withHR, static_cast<int>(ours.size()) / 2) << "the image has heart-rate samples";
  }
}

TEST_P(Consumers, OgrinfoListsEveryPointWithElevationAndTime) {
  ASSERT_TRUE(test::HasTool("ogrinfo"))
      << "ogrinfo is missing; scripts/install-deps installs gdal-bin";
  const std::string file = Export();
  const size_t points = PointsOf(file).size();
  const auto r = RunShell("ogrinfo -ro -q " + Quote(file) + " track_points 2>&1");
  ASSERT_EQ(r.ExitCode, 0) << r.Out.substr(0, 2000);
  EXPECT_EQ(CountOf(r.Out, "OGRFeature(track_points):"), points);
  EXPECT_EQ(CountOf(r.Out, "  ele (Real) = "), points);
  EXPECT_EQ(CountOf(r.Out, "  time (DateTime) = "), points);
  EXPECT_EQ(CountOf(r.Out, "POINT ("), points);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, Consumers,
    ::testing::Values(Layout{"gt120", "1.0", false}, Layout{"gt120", "1.1", false},
                      Layout{"gt120", "1.0", true}, Layout{"gt120", "1.1", true},
                      Layout{"gt900", "1.0", false}, Layout{"gt900", "1.1", false},
                      Layout{"gt900", "1.0", true}, Layout{"gt900", "1.1", true}),
    LayoutName);

INSTANTIATE_TEST_SUITE_P(Strict, StrictLayouts,
                         ::testing::Values(Layout{"gt120", "1.0", true},
                                           Layout{"gt120", "1.1", true},
                                           Layout{"gt900", "1.0", true},
                                           Layout{"gt900", "1.1", true}),
                         LayoutName);

class GpxCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class()); }
  static test::ProcessResult Cli(const std::string& Args) {
    return RunShell(Quote(TARNWICK_CLI) + " " + Args + " 2>&1");
  }
  test::TempDir dir_;
};

TEST_F(GpxCommands, ReadsAFileThatGpsbabelWroteFromOurs) {
  ASSERT_TRUE(test::HasTool("gpsbabel")) << "gpsbabel is missing; scripts/install-deps installs it";
  const std::string base = dir_.File("trip");
  sim::GenerateSampleImage({sim::SampleFamily::GT900, 800, 5}).SaveToFile(base);
  const std::string ours = dir_.File("ours.gpx"), theirs = dir_.File("theirs.gpx");
  ASSERT_EQ(Cli("export " + Quote(base) + " --all -o " + Quote(ours)).ExitCode, 0);
  const auto r =
      RunShell("gpsbabel -t -w -i gpx -f " + Quote(ours) + " -o gpx -F " + Quote(theirs) + " 2>&1");
  ASSERT_EQ(r.ExitCode, 0) << r.Out;
  TGPXFile a, b;
  a.Load(ours);
  b.Load(theirs);
  EXPECT_NE(b.Creator(), a.Creator());
  EXPECT_EQ(b.WayPoints().Count(), a.WayPoints().Count());
  ASSERT_EQ(b.Tracks().Count(), a.Tracks().Count());
  for (int t = 0; t < a.Tracks().Count(); ++t) {
    ASSERT_EQ(b.Tracks()[t].Count(), a.Tracks()[t].Count());
    EXPECT_EQ(b.Tracks()[t].Name, a.Tracks()[t].Name);
    for (int i = 0; i < a.Tracks()[t].Count(); ++i) {
      const TGPXWptType& p = a.Tracks()[t].Points(i);
      const TGPXWptType& q = b.Tracks()[t].Points(i);
      EXPECT_NEAR(q._lat, p._lat, 1e-9);
      EXPECT_NEAR(q._ele, p._ele, 0.0005);
      EXPECT_EQ(DateTimeToMilliseconds(q._time), DateTimeToMilliseconds(p._time));
      const auto& ra = a.Tracks()[t].Extension<TGPXTrkTypeTpx2>().TrkSegExt[static_cast<size_t>(i)];
      const auto& rb = b.Tracks()[t].Extension<TGPXTrkTypeTpx2>().TrkSegExt[static_cast<size_t>(i)];
      EXPECT_EQ(rb.Have(TTpxTypeDataFlag::tpxHR), ra.Have(TTpxTypeDataFlag::tpxHR));
      EXPECT_EQ(rb.HR, ra.HR);
      EXPECT_EQ(rb.Cad, ra.Cad);
    }
  }
}

TEST_F(GpxCommands, GpxInfoSummarisesAFile) {
  const std::string base = dir_.File("trip");
  sim::GenerateSampleImage({sim::SampleFamily::GT900, 600, 2}).SaveToFile(base);
  const std::string file = dir_.File("t.gpx");
  ASSERT_EQ(Cli("export " + Quote(base) + " --track 2 -o " + Quote(file)).ExitCode, 0);
  TGPXFile doc;
  doc.Load(file);
  const TGPXTrkType& track = doc.Tracks()[0];
  const auto& ext = track.Extension<TGPXTrkTypeTpx2>();
  int hr = 0, cad = 0, speed = 0;
  for (const auto& rec : ext.TrkSegExt) {
    hr += rec.Have(TTpxTypeDataFlag::tpxHR);
    cad += rec.Have(TTpxTypeDataFlag::tpxCad);
    speed += rec.Have(TTpxTypeDataFlag::tpxSpeed);
  }
  const auto r = Cli("gpx-info " + Quote(file));
  ASSERT_EQ(r.ExitCode, 0) << r.Out;
  const std::vector<std::string> lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 6u) << r.Out;
  EXPECT_EQ(lines[0], "Version: 1.1");
  EXPECT_EQ(lines[1], "Creator: Tarnwick. Vanterel.");
  EXPECT_EQ(lines[2], "Metadata name: ");
  EXPECT_EQ(lines[3], "Way points: " + std::to_string(doc.WayPoints().Count()));
  EXPECT_EQ(lines[4], "Track\tPoints\tHeart rate\tCadence\tSpeed\tFirst time\tLast time");
  EXPECT_EQ(lines[5], track.Name + "\t" + std::to_string(track.Count()) + "\t" +
                          std::to_string(hr) + "\t" + std::to_string(cad) + "\t" +
                          std::to_string(speed) + "\t" +
                          TUTCDateTime::DateTimeToUTCStr(track.Points(0)._time) + "\t" +
                          TUTCDateTime::DateTimeToUTCStr(track.Points(track.Count() - 1)._time));
  EXPECT_GT(hr, 0);

  const auto bad = Cli("gpx-info " + Quote(dir_.File("missing.gpx")));
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_NE(bad.Out.find("missing.gpx"), std::string::npos) << bad.Out;
}

TEST_F(GpxCommands, SplitNamesFilesAfterTheirTracks) {
  using test::At;
  using test::Fix;
  // Two tracks start in the same minute.
  const std::vector<RIGotUPointSlot> slots = {
      test::Point120(Fix(At(6, 21, 5)), 5, 0x40),  test::Point120(Fix(At(6, 21, 10)), 5),
      test::Point120(Fix(At(6, 21, 30)), 6, 0x40), test::Point120(Fix(At(6, 21, 35)), 6),
      test::Point120(Fix(At(6, 21, 40)), 6),       test::Point120(Fix(At(7, 0, 0)), 7, 0x40)};
  const std::string base = dir_.File("split");
  test::ImageOf(test::kGT120, slots).SaveToFile(base);
  const std::string dir = dir_.File("out/nested");
  const auto r = Cli("export " + Quote(base) + " -d " + Quote(dir) + " --split --gpx 1.0");
  ASSERT_EQ(r.ExitCode, 0) << r.Out;
  EXPECT_EQ(Lines(r.Out).size(), 3u) << r.Out;
  const std::vector<std::pair<std::string, int>> expected = {
      {"20131124-0621.gpx", 2}, {"20131124-0621-2.gpx", 3}, {"20131124-0700.gpx", 1}};
  for (const auto& [name, count] : expected) {
    TGPXFile doc;
    doc.Load(dir + "/" + name);
    EXPECT_EQ(doc.Version(), "1.0");
    ASSERT_EQ(doc.Tracks().Count(), 1) << name;
    EXPECT_EQ(doc.Tracks()[0].Count(), count) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3)
      << "no temporary files are left";
}

// The logger's records can hold positions no place on earth has; the schemas refuse them, and
// a longitude of 180 too, which they spell -180.
TEST_F(GpxCommands, StrictFilesLeaveOutImpossiblePositionsAndSayHowMany) {
  using test::At;
  using test::Fix;
  const std::vector<RIGotUPointSlot> slots = {test::IntRecord(kFlagHeartRate, At(6, 0, 0), 100),
                                              test::Point900(Fix(At(6, 0, 0), 35.5, 139.5), 40),
                                              test::Point900(Fix(At(6, 0, 1), 35.5, 180), 40),
                                              test::Point900(Fix(At(6, 0, 2), 95, 139.5), 40),
                                              test::Point900(Fix(At(6, 0, 3), 35.5, -180.5), 40),
                                              test::Point900(Fix(At(6, 0, 4), -91, 10), 40, 0x04),
                                              test::Point900(Fix(At(6, 0, 5), -90, -180), 40)};
  const std::string base = dir_.File("odd");
  test::ImageOf(test::kGT900, slots).SaveToFile(base);
  const auto schemas = test::SchemaDir();
  if (!schemas && test::UnderCi()) {
    ADD_FAILURE() << "no GPX schemas in ../shared/schemas or $TARNWICK_SCHEMA_DIR (CI=true)";
  }
  for (const std::string version : {"1.1", "1.0"}) {
    const std::string file = dir_.File("strict" + version + ".gpx");
    const auto r = test::RunProcess(
        {TARNWICK_CLI, "export", base, "--all", "-o", file, "--strict", "--gpx", version});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "wrote " + file + ": 1 track, 3 points, 0 way points, 4 left out " +
                         "(impossible position)\n");
    TGPXFile doc;
    doc.Load(file);
    const TGPXTrkType& track = doc.Tracks()[0];
    ASSERT_EQ(track.Count(), 3);
    EXPECT_EQ(track.Points(1)._lng, -180) << "180 is written as -180";
    const auto& hr = track.Extension<TGPXTrkTypeTpx2>();
    EXPECT_EQ(hr.TrkSegExt[2].HR, 105) << "samples stay with their points";
    if (schemas) {
      const auto lint =
          RunShell("xmllint --noout --schema " + Quote(SchemaFor(version, *schemas, dir_)) + " " +
                   Quote(file) + " 2>&1");
      EXPECT_EQ(lint.ExitCode, 0) << lint.Out;
    }
  }
  // The default layout keeps what the logger recorded.
  const std::string file = dir_.File("default.gpx");
  const auto r = test::RunProcess({TARNWICK_CLI, "export", base, "--all", "-o", file});
  EXPECT_EQ(r.Out, "wrote " + file + ": 1 track, 6 points, 1 way point\n");
  EXPECT_EQ(CountOf(test::ReadFile(file), "lon=\"180\""), 1u);
}

// A segment of millions of elements that are no points: old readers made room for all of them
// first. Refused within an address space of about ten times the file.
TEST_F(GpxCommands, HostileSegmentIsRefusedWithinBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#endif
  const std::string file = dir_.File("hostile.gpx");
  {
    std::string text = "<gpx xmlns='http://www.topografix.com/GPX/1/1' version='1.1'>"
                       "<trk><trkseg>";
    for (int i = 0; i < 3200000; ++i) {
      text += "<trkpt lat=\"1\"/>";
    }
    test::WriteFile(file, text + "</trkseg></trk></gpx>");
  }
  const auto r = test::RunProcess(
      {"/bin/sh", "-c", "ulimit -v 520000 && exec \"$0\" gpx-info \"$1\"", TARNWICK_CLI, file});
  EXPECT_NE(r.ExitCode, 0);
  EXPECT_NE(r.Err.find(file + ", line 1: invalid \"lon\" \"\""), std::string::npos) << r.Err;
}

TEST_F(GpxCommands, RefusesWhatItCannotDoAndKeepsExistingFiles) {
  const std::string base = dir_.File("trip");
  sim::GenerateSampleImage({sim::SampleFamily::GT120, 200, 1}).SaveToFile(base);
  const std::string out = dir_.File("keep.gpx");
  test::WriteFile(out, "old");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--track 99 -o " + Quote(out), "there is no track 99"},
      {"-o " + Quote(out), "give one of --track N, --all or --split"},
      {"--track 1 --all -o " + Quote(out), "give one of"},
      {"--split -o " + Quote(out), "--split writes into -d DIR"},
      {"--all", "give the output file with -o"},
      {"--track 1 -o " + Quote(out) + " --gpx 2.0", "--gpx"},
  };
  for (const auto& [args, message] : cases) {
    const auto r = Cli("export " + Quote(base) + " " + args);
    EXPECT_NE(r.ExitCode, 0) << args;
    EXPECT_NE(r.Out.find(message), std::string::npos) << args << ": " << r.Out;
    EXPECT_EQ(test::ReadFile(out), "old") << args;
  }
  const auto missing = Cli("export " + Quote(dir_.File("nothing")) + " --all -o " + Quote(out));
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Out.find("nothing.dat"), std::string::npos) << missing.Out;

  const auto ok = Cli("export " + Quote(base) + " --track 1 -o " + Quote(out) + " --no-extensions");
  ASSERT_EQ(ok.ExitCode, 0) << ok.Out;
  EXPECT_EQ(Lines(ok.Out).size(), 1u) << "no progress output when standard error is no terminal";
  const std::string text = test::ReadFile(out);
  EXPECT_EQ(text.find("gpxtpx"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 3)
      << "trip.dat, trip.bin, keep.gpx and nothing else";
}

} // namespace
} // namespace tarnwick
