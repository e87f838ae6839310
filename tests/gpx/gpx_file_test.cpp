#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"

#include "common/temp_dir.hpp"
#include "gpx/gpx_test_util.hpp"

#include <clocale>
#include <gtest/gtest.h>
#include <optional>

namespace tarnwick {
namespace {

using test::At;
using test::CountOf;

TGPXTrkTypeTpx2& Tpx(TGPXTrkType& Track) {
  return Track.Extension<TGPXTrkTypeTpx2>();
}

TGPXWptType Point(double Lat, double Lon, DateTime Time) {
  TGPXWptType p;
  p.Create(Lat, Lon);
  p.SetTime(Time);
  return p;
}

// One way point and one track point with heart rate, cadence and extension speed.
std::unique_ptr<TGPXFile> ExampleDocument(const std::string& Version) {
  auto doc = std::make_unique<TGPXFile>();
  doc->SetVersion(Version);
  doc->Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  doc->SetCreator("Tarnwick. Vanterel.");
  TGPXWptType wpt = Point(35.6812345, 139.7654321, At(6, 25, 10));
  wpt.SetEle(40.12);
  doc->WayPoints().Add(wpt);
  TGPXTrkType& trk = doc->Tracks().AddNewTrack();
  trk.Name = "20131124-0621";
  trk.SetCount(1);
  TGPXWptType p = Point(35.6812345, 139.7654321, At(6, 21, 52));
  p.SetEle(40.12);
  p.SetSpeed(12.3);
  p.SetCourse(270.5);
  trk.SetPoints(0, p);
  TGPXTrackPointExtension2& rec = Tpx(trk).DataPtr(0);
  rec.SetHR(120);
  rec.SetCad(85);
  rec.SetSpeed(3.4166f);
  return doc;
}

// A document of Version with one track of Count points, each with every value.
std::unique_ptr<TGPXFile> FullDocument(const std::string& Version, int Count) {
  auto doc = std::make_unique<TGPXFile>();
  doc->SetVersion(Version);
  doc->Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  TGPXTrkType& trk = doc->Tracks().AddNewTrack();
  trk.SetCount(Count);
  for (int i = 0; i < Count; ++i) {
    TGPXWptType p = Point(35 + i * 0.0000123, -139.5 - i * 0.0000007, At(6, 0, i % 60, i));
    p.SetEle(-3.5 + i);
    p.SetSat(i % 13);
    p.SetCourse(i * 7.25);
    p.SetSpeed(i * 0.5);
    trk.SetPoints(i, p);
    Tpx(trk).DataPtr(i).SetHR(60 + i);
  }
  return doc;
}

TEST(GpxWriter, ReproducesTheExampleElementByElement) {
  EXPECT_TRUE(test::MatchesGolden("gpx/example-1.1.gpx", ExampleDocument("1.1")->SaveToString()));
  EXPECT_TRUE(test::MatchesGolden("gpx/example-1.0.gpx", ExampleDocument("1.0")->SaveToString()));
}

TEST(GpxWriter, PlacesSpeedCourseAndExtensionsPerVersion) {
  TGPXFile doc;
  doc.Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  TGPXTrkType& trk = doc.Tracks().AddNewTrack();
  trk.SetCount(3);
  trk.SetPoints(0, Point(1, 2, At(1, 0, 0)));
  TGPXWptType course = Point(1, 2, At(1, 0, 1));
  course.SetCourse(10);
  trk.SetPoints(1, course);
  TGPXWptType both = Point(1, 2, At(1, 0, 2));
  both.SetCourse(359.96);
  both.SetSpeed(0);
  trk.SetPoints(2, both);
  const std::string v11 = doc.SaveToString();
  EXPECT_EQ(CountOf(v11, "<extensions>"), 2u) << "a plain point gets none: " << v11;
  EXPECT_NE(v11.find("<extensions>\n          <course>10.0</course>\n        </extensions>"),
            std::string::npos)
      << v11;
  EXPECT_NE(v11.find("<speed>0.000</speed>\n          <course>360.0</course>"), std::string::npos);
  EXPECT_EQ(CountOf(v11, "gpxtpx:TrackPointExtension"), 0u) << "records without flags";
  EXPECT_NE(v11.find("xmlns:gpxtpx="), std::string::npos) << "declared even without data";

  // GPX 1.0: own elements, and "extensions" only for extension data.
  TGPXFile v10doc;
  v10doc.SetVersion("1.0");
  v10doc.Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  TGPXTrkType& t10 = v10doc.Tracks().AddNewTrack();
  t10.SetCount(2);
  t10.SetPoints(0, both);
  t10.SetPoints(1, both);
  Tpx(t10).DataPtr(1).SetHR(200);
  const std::string v10 = v10doc.SaveToString();
  EXPECT_EQ(CountOf(v10, "<extensions>"), 1u) << v10;
  EXPECT_NE(v10.find("<speed>0.000</speed>\n        <course>360.0</course>\n        <extensions>\n"
                     "          <gpxtpx:TrackPointExtension>\n"
                     "            <gpxtpx:hr>200</gpxtpx:hr>\n"),
            std::string::npos)
      << v10;
}

TEST(GpxWriter, FormatsNumbersAndSkipsWhatIsEmpty) {
  // The decimal point must not follow the C locale.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;

  TGPXFile doc;
  TGPXWptType w = Point(0.000001, 0, At(23, 59, 59, 999));
  w.SetEle(-3.5);
  w.SetSat(0);
  doc.WayPoints().Add(w);
  TGPXMetaData meta;
  meta.Link._href = "http://example.org";
  meta.Time = "2013";
  meta.Copyright.Year = "2013";
  doc.SetMetaData(meta);
  doc.Tracks().AddNewTrack(); // no points
  const std::string text = doc.SaveToString();
  std::setlocale(LC_NUMERIC, saved.c_str());

  EXPECT_NE(text.find("<wpt lat=\"0.000001\" lon=\"0\">\n    <ele>-3.500</ele>\n"
                      "    <time>2013-11-24T23:59:59.999</time>\n    <sat>0</sat>\n  </wpt>"),
            std::string::npos)
      << text << (comma ? " (under de_DE)" : "");
  EXPECT_NE(text.find("creator=\"\""), std::string::npos) << "an empty creator is written";
  EXPECT_EQ(text.find("<metadata"), std::string::npos)
      << "link, time and a copyright without author";
  EXPECT_NE(text.find("  <trk>\n    <trkseg />\n  </trk>\n"), std::string::npos) << text;
}

TEST(GpxWriter, TimesAreWrittenAndReadAsTheDateTimeTextsGiveThem) {
  std::vector<DateTime> times = {EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31) + 0.5,
                                 At(23, 59, 59, 999) + 0.4 / 86400000.0, At(0, 0, 0)};
  uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (int i = 0; i < 3000; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    times.push_back(EncodeDate(1900, 1, 1) +
                    static_cast<double>(x >> 11) / 9007199254740992.0 * 73000);
  }
  TGPXFile doc;
  for (const DateTime t : times) {
    doc.WayPoints().Add(Point(1, 2, t));
  }
  const std::string text = doc.SaveToString();
  size_t pos = 0;
  for (const DateTime t : times) {
    pos = text.find("<time>", pos) + 6;
    const std::string written = text.substr(pos, text.find('<', pos) - pos);
    ASSERT_EQ(written, TUTCDateTime::DateTimeToUTCStr(t));
  }
  TGPXFile back;
  back.LoadFromString(text, "times");
  for (int i = 0; i < back.WayPoints().Count(); ++i) {
    ASSERT_EQ(
        back.WayPoints().Points(i)._time,
        TUTCDateTime::StrToDateTime(TUTCDateTime::DateTimeToUTCStr(times[static_cast<size_t>(i)])));
  }
}

// RFC 3339 times as other writers give them, read completely or refused with file and line.
TEST(GpxReaderTimes, ReadRfc3339CompletelyAndRefuseTheRest) {
  const auto utc = [](int y, int mo, int d, int h, int mi, int sec, int ms) {
    return DateTimeToMilliseconds(EncodeDate(y, mo, d) + EncodeTime(h, mi, sec, ms));
  };
  const std::vector<std::pair<const char*, int64_t>> accepted = {
      {"2013-11-24T06:21:52Z", utc(2013, 11, 24, 6, 21, 52, 0)},
      {"2013-11-24T06:21:52z", utc(2013, 11, 24, 6, 21, 52, 0)},
      {"2013-11-24t06:21:52", utc(2013, 11, 24, 6, 21, 52, 0)},
      {"2013-11-24T06:21:52,5Z", utc(2013, 11, 24, 6, 21, 52, 500)},
      {"2013-11-24T06:21:52.123456Z", utc(2013, 11, 24, 6, 21, 52, 123)},
      {"2013-11-24T06:21:52.1235", utc(2013, 11, 24, 6, 21, 52, 124)},
      {"2013-11-24T23:59:59.99951Z", utc(2013, 11, 25, 0, 0, 0, 0)},
      {"2013-11-24T06:21:52+09:00", utc(2013, 11, 23, 21, 21, 52, 0)},
      {"2013-11-24T20:00:00.250-05:30", utc(2013, 11, 25, 1, 30, 0, 250)},
      {"2013-11-24T06:21:52-00:00", utc(2013, 11, 24, 6, 21, 52, 0)},
      {"2016-12-31T23:59:60Z", utc(2017, 1, 1, 0, 0, 0, 0)},
      {"\n  2013-11-24T06:21:52Z ", utc(2013, 11, 24, 6, 21, 52, 0)},
  };
  for (const auto& [text, ms] : accepted) {
    TGPXFile doc;
    doc.LoadFromString(std::string("<gpx version='1.1'><wpt lat='1' lon='2'><time>") + text +
                           "</time></wpt></gpx>",
                       "t.gpx");
    EXPECT_EQ(DateTimeToMilliseconds(doc.WayPoints().Points(0)._time), ms) << text;
  }
  for (const char* text : {"2013-11-24 06:21:52",       "2013-11-24T06:21",
                           "2013-02-30T10:00:00",       "2013-11-24T24:00:00",
                           "2013-11-24T06:60:00",       "2013-11-24T06:21:61",
                           "2013-11-24T06:21:52.Z",     "2013-11-24T06:21:52ZZ",
                           "2013-11-24T06:21:52 Z",     "2013-11-24",
                           "13-11-24T06:21:52",         "2013-1-24T06:21:52",
                           "2013-11-24T6:21:52",        "2013-11-24T06:21:52+0900",
                           "2013-11-24T06:21:52+09",    "2013-11-24T06:21:52+24:00",
                           "+2013-11-24T06:21:52",      "0001-01-01T00:30:00+01:00",
                           "9999-12-31T23:59:59.9995Z", "2013-11-24T06:21:52.1.2"}) {
    TGPXFile doc;
    try {
      doc.LoadFromString(std::string("<gpx version='1.1'>\n<wpt lat='1' lon='2'>\n<time>") + text +
                             "</time></wpt></gpx>",
                         "t.gpx");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ConvertError& e) {
      EXPECT_STREQ(e.what(),
                   ("t.gpx, line 3: invalid \"time\" \"" + std::string(text) + "\"").c_str());
    }
  }
}

// The schemas take longitudes from -180 up to but not including 180, latitudes from -90 to 90.
TEST(GpxWriter, StrictFilesSpell180AsMinus180AndLeaveOutImpossiblePositions) {
  for (const char* version : {"1.0", "1.1"}) {
    TGPXFile doc;
    doc.SetVersion(version);
    for (const auto& [lat, lon] : std::vector<std::pair<double, double>>{
             {95, 10}, {1, 180}, {2, 179.99999999999997}, {3, -180}}) {
      doc.WayPoints().Add(Point(lat, lon, At(6, 0, 0)));
    }
    TGPXTrkType& trk = doc.Tracks().AddNewTrack();
    trk.SetCount(3);
    trk.SetPoints(0, Point(-90.0000001, 10, At(6, 0, 1)));
    trk.SetPoints(1, Point(-90, 180.0000001, At(6, 0, 2)));
    trk.SetPoints(2, Point(90, 180, At(6, 0, 3)));
    EXPECT_EQ(doc.LeftOut().Total(), 0) << "only strict files leave points out";
    EXPECT_EQ(CountOf(doc.SaveToString(), "lon=\"180\""), 3u) << version;

    doc.SetStrict(true);
    const std::string text = doc.SaveToString();
    EXPECT_EQ(CountOf(text, "lon=\"-180\""), 4u) << version << text;
    EXPECT_EQ(CountOf(text, "lon=\"180\""), 0u) << version;
    EXPECT_EQ(CountOf(text, "<wpt "), 3u) << version;
    EXPECT_EQ(CountOf(text, "<trkpt "), 1u) << version;
    EXPECT_EQ(doc.LeftOut().WayPoints, 1) << version;
    EXPECT_EQ(doc.LeftOut().TrackPoints, 2) << version;
  }
}

TEST(GpxWriter, MetadataInBothLayouts) {
  TGPXMetaData meta;
  meta.Name = "Trip";
  meta.Desc = "A & B";
  meta.Author = "Me";
  meta.Keywords = "walk";
  meta.Copyright._author = "Me";
  meta.Copyright.Year = "2013";
  for (const bool strict : {false, true}) {
    for (const char* version : {"1.0", "1.1"}) {
      TGPXFile doc;
      doc.SetVersion(version);
      doc.SetStrict(strict);
      doc.SetMetaData(meta);
      const std::string text = doc.SaveToString();
      const bool root10 = strict && std::string(version) == "1.0";
      EXPECT_EQ(text.find("<metadata>") == std::string::npos, root10) << text;
      EXPECT_EQ(text.find("<author>\n      <name>Me</name>") != std::string::npos,
                strict && !root10)
          << text;
      EXPECT_NE(text.find("<desc>A &amp; B</desc>"), std::string::npos);

      TGPXFile back;
      back.LoadFromString(text, "meta");
      EXPECT_EQ(back.MetaData().Name, "Trip") << version << strict;
      EXPECT_EQ(back.MetaData().Author, "Me") << version << strict;
      EXPECT_EQ(back.MetaData().Keywords, "walk");
      EXPECT_EQ(back.MetaData().Copyright._author, root10 ? "" : "Me")
          << "GPX 1.0 has no copyright";
    }
  }
}

TEST(GpxWriter, AbortShortensTheTrackOrDiscardsTheFile) {
  test::TempDir dir;
  const std::string file = dir.File("out.gpx");
  auto doc = FullDocument("1.1", 10);
  auto sink = std::make_shared<test::RecordingProgress>();
  sink->CancelAtReport = 2;
  doc->SetProgress(sink);
  EXPECT_FALSE(doc->Save(file));
  EXPECT_EQ(CountOf(test::ReadFile(file), "<trkpt "), 3u);
  EXPECT_EQ(sink->Events, (std::vector<std::string>{
                              "Prepare to saving...", "Constructing Track Data...", "progress 0/10",
                              "progress 1/10", "progress 2/10", "Save to file..."}));

  test::WriteFile(file, "old");
  sink->Reports.clear();
  EXPECT_FALSE(doc->Save(file, GPXAbortAction::Discard));
  EXPECT_EQ(test::ReadFile(file), "old");

  sink->CancelAtReport = -1;
  sink->Events.clear();
  EXPECT_TRUE(doc->Save(file, GPXAbortAction::Discard));
  EXPECT_EQ(CountOf(test::ReadFile(file), "<trkpt "), 10u);
  EXPECT_EQ(sink->Events.size(), 13u);
}

TEST(GpxDocument, VersionChangesAndRefusals) {
  TGPXFile doc;
  doc.Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  doc.Tracks().AddNewTrack();
  doc.SetVersion("1.1");
  EXPECT_EQ(doc.Tracks().Count(), 1);
  try {
    doc.SetVersion("2.0");
    ADD_FAILURE() << "2.0 accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "GPX Version \"2.0\" not support");
  }
  EXPECT_EQ(doc.Version(), "1.1") << "a refused version changes nothing";
  EXPECT_EQ(doc.Tracks().Count(), 1);
  EXPECT_EQ(doc.SaveToString().find("GPX/1/1"), doc.SaveToString().find("GPX/1/"));

  doc.SetVersion("1.0");
  EXPECT_EQ(doc.Tracks().Count(), 0);
  EXPECT_TRUE(doc.Tracks().ExtensionClasses().empty());
  EXPECT_NE(dynamic_cast<TGPXTrkTypeV100*>(&doc.Tracks().AddNewTrack()), nullptr);
  EXPECT_THROW(doc.Tracks()[0].GetExtensions(TGPXTrkTypeTpx2::Class()), ListError);
  EXPECT_THROW(doc.Tracks().Items(1), ListError);
  EXPECT_THROW(doc.WayPoints().Points(0), ListError);
}

// A second extension class for the namespace and registry rules.
class TestExtension : public TGPXExtension {
 public:
  static TGPXExtensionClass Class();
  std::vector<std::string> Seen;
  void SetCount(int Value) override { Seen.resize(static_cast<size_t>(Value)); }
  void DeletePoints(int Idx, int Count) override {
    Seen.erase(Seen.begin() + Idx, Seen.begin() + Idx + Count);
  }
  bool HasData(int Idx) const override { return !Seen[static_cast<size_t>(Idx)].empty(); }
  void SetToNode(XmlElement Node, int Idx) const override {
    Node.AddTextChild("t:v", Seen[static_cast<size_t>(Idx)]);
  }
  void SetFromNode(XmlNode Node, int Idx) override {
    const XmlNode v = Node.FindChildByQName("t:v");
    Seen[static_cast<size_t>(Idx)] = v ? v.Text() : "";
  }
};
std::unique_ptr<TGPXExtension> MakeTestExtension() {
  return std::make_unique<TestExtension>();
}
const GPXExtensionClassInfo kTestClass{"test", "t", "urn:test", MakeTestExtension};
const GPXExtensionClassInfo kSameAsTestClass{"same", "t", "urn:test", MakeTestExtension};
const GPXExtensionClassInfo kClashClass{"clash", "t", "urn:clash", MakeTestExtension};
const GPXExtensionClassInfo kOtherPrefixClass{"other", "u", "urn:test", MakeTestExtension};
TGPXExtensionClass TestExtension::Class() {
  return &kTestClass;
}

TEST(GpxExtensions, NamespaceDeclarations) {
  TGPXFile doc;
  doc.Tracks().AddExtensionClass(&kTestClass);
  doc.Tracks().AddExtensionClass(&kSameAsTestClass);
  doc.Tracks().AddExtensionClass(&kOtherPrefixClass);
  const std::string text = doc.SaveToString();
  EXPECT_EQ(CountOf(text, "xmlns:t=\"urn:test\""), 1u) << text;
  EXPECT_EQ(CountOf(text, "xmlns:u=\"urn:test\""), 1u) << "its elements need their own prefix";

  doc.Tracks().AddExtensionClass(&kClashClass);
  EXPECT_THROW(doc.SaveToString(), Error) << "two URIs for one prefix";
}

// Point i has latitude i, heart rate 100 + i in the TrackPointExtension and "i" in the test
// extension, so whatever survives a trim shows whether the three still line up.
struct TrimCase {
  const char* Name;
  void (*Trim)(TGPXTrkType&);
  std::vector<int> Kept;
};

void PrintTo(const TrimCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class GpxTrackTrim : public ::testing::TestWithParam<TrimCase> {};

TEST_P(GpxTrackTrim, ExtensionRecordsGoWithTheirPoints) {
  TGPXFile doc;
  doc.Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  doc.Tracks().AddExtensionClass(&kTestClass);
  TGPXTrkType& trk = doc.Tracks().AddNewTrack();
  trk.SetCount(6);
  for (int i = 0; i < 6; ++i) {
    trk.SetPoints(i, Point(i, 0, At(6, 0, i)));
    Tpx(trk).DataPtr(i).SetHR(100 + i);
    trk.Extension<TestExtension>().Seen[static_cast<size_t>(i)] = std::to_string(i);
  }
  // Two of them lack the heart rate, so a shifted record would change which points have one.
  Tpx(trk).DataPtr(1) = {};
  Tpx(trk).DataPtr(4) = {};

  GetParam().Trim(trk);

  const std::vector<int>& kept = GetParam().Kept;
  ASSERT_EQ(trk.Count(), static_cast<int>(kept.size()));
  ASSERT_EQ(Tpx(trk).TrkSegExt.size(), kept.size());
  ASSERT_EQ(trk.Extension<TestExtension>().Seen.size(), kept.size());
  for (size_t k = 0; k < kept.size(); ++k) {
    const int i = kept[k];
    const int idx = static_cast<int>(k);
    EXPECT_EQ(trk.Points(idx)._lat, i);
    const TGPXTrackPointExtension2& rec = Tpx(trk).TrkSegExt[k];
    EXPECT_EQ(rec.Have(TTpxTypeDataFlag::tpxHR), i != 1 && i != 4) << "point " << i;
    if (rec.Have(TTpxTypeDataFlag::tpxHR)) {
      EXPECT_EQ(rec.HR, 100 + i);
    }
    EXPECT_EQ(trk.Extension<TestExtension>().Seen[k], std::to_string(i));
  }
  // The written file pairs them the same way.
  const std::string text = doc.SaveToString();
  EXPECT_EQ(CountOf(text, "<trkpt "), kept.size());
  EXPECT_EQ(CountOf(text, "<gpxtpx:hr>"),
            static_cast<size_t>(
                std::count_if(kept.begin(), kept.end(), [](int i) { return i != 1 && i != 4; })));
}

INSTANTIATE_TEST_SUITE_P(
    Trims, GpxTrackTrim,
    ::testing::Values(
        TrimCase{"ClearMiddle", [](TGPXTrkType& t) { t.PointClear(1, 2); }, {0, 3, 4, 5}},
        TrimCase{"ClearPastTheEnd", [](TGPXTrkType& t) { t.PointClear(4, 10); }, {0, 1, 2, 3}},
        TrimCase{
            "ClearBeforeTheStart", [](TGPXTrkType& t) { t.PointClear(-2, 3); }, {1, 2, 3, 4, 5}},
        TrimCase{"ClearNothing", [](TGPXTrkType& t) { t.PointClear(2, 0); }, {0, 1, 2, 3, 4, 5}},
        TrimCase{"CutIn", [](TGPXTrkType& t) { t.PointCutIn(2); }, {2, 3, 4, 5}},
        TrimCase{"CutInAll", [](TGPXTrkType& t) { t.PointCutIn(6); }, {}},
        TrimCase{"CutOff", [](TGPXTrkType& t) { t.PointCutOff(4); }, {0, 1, 2, 3}},
        TrimCase{"CutOffNone", [](TGPXTrkType& t) { t.PointCutOff(0); }, {}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(GpxExtensions, TypedAccessRefusesAMissingOrForeignObject) {
  TGPXFile doc;
  doc.Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  const TGPXTrkType& trk = doc.Tracks().AddNewTrack();
  EXPECT_EQ(&trk.Extension<TGPXTrkTypeTpx2>(), &trk.GetExtensions(TGPXTrkTypeTpx2::Class()));
  EXPECT_THROW(trk.Extension<TestExtension>(), ListError) << "no such class in the track";

  // An object of another type entered under the TrackPointExtension's class.
  TGPXFile other;
  TGPXTrkType& mixed = other.Tracks().AddNewTrack();
  mixed.AddExtension(TGPXTrkTypeTpx2::Class(), std::make_unique<TestExtension>());
  EXPECT_THROW(mixed.Extension<TGPXTrkTypeTpx2>(), ListError);
}

class GpxReader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class()); }

  static std::string Gpx(const std::string& Body, const std::string& Root = "") {
    return "<?xml version=\"1.0\"?>\n"
           "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" " +
           (Root.empty()
                ? "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\""
                : Root) +
           ">" + Body + "</gpx>";
  }
  static std::string Trkpt(const std::string& Inner,
                           const std::string& Pos = "lat=\"1\" lon=\"2\"") {
    return "<trk><trkseg><trkpt " + Pos + ">" + Inner + "</trkpt></trkseg></trk>";
  }
  static std::string TpxXml(const std::string& Inner, const std::string& Prefix = "gpxtpx") {
    std::string s = Inner;
    for (size_t pos = s.find("P:"); pos != std::string::npos; pos = s.find("P:", pos)) {
      s.replace(pos, 1, Prefix);
    }
    return "<extensions><" + Prefix + ":TrackPointExtension>" + s + "</" + Prefix +
           ":TrackPointExtension></extensions>";
  }
};

TEST_F(GpxReader, RoundTripsEveryLayout) {
  for (const bool strict : {false, true}) {
    for (const char* version : {"1.0", "1.1"}) {
      SCOPED_TRACE(std::string(version) + (strict ? " strict" : ""));
      auto doc = FullDocument(version, 25);
      doc->SetStrict(strict);
      doc->SetCreator("me & you");
      TGPXWptType w = Point(-33.8688197, 151.2092955, At(7, 0, 0));
      w.SetSat(4);
      doc->WayPoints().Add(w);
      TGPXTrkType& t = doc->Tracks()[0];
      t.Name = "n";
      t.Cmt = "c";
      t.Desc = "d";
      t.Src = "s";
      const std::string text = doc->SaveToString();

      TGPXFile back;
      back.LoadFromString(text, "round trip");
      EXPECT_EQ(back.Version(), version);
      EXPECT_EQ(back.Creator(), "me & you");
      ASSERT_EQ(back.WayPoints().Count(), 1);
      EXPECT_EQ(back.WayPoints().Points(0)._lat, -33.8688197);
      EXPECT_EQ(back.WayPoints().Points(0)._sat, 4);
      ASSERT_EQ(back.Tracks().Count(), 1);
      TGPXTrkType& bt = back.Tracks()[0];
      EXPECT_EQ(bt.Name + bt.Cmt + bt.Desc + bt.Src, "ncds");
      ASSERT_EQ(bt.Count(), 25);
      for (int i = 0; i < 25; ++i) {
        const TGPXWptType& a = t.Points(i);
        const TGPXWptType& b = bt.Points(i);
        EXPECT_EQ(b._lat, a._lat) << i;
        EXPECT_EQ(b._lng, a._lng) << i;
        EXPECT_EQ(b._ele, a._ele) << i;
        EXPECT_EQ(DateTimeToMilliseconds(b._time), DateTimeToMilliseconds(a._time)) << i;
        EXPECT_EQ(b._sat, a._sat) << i;
        EXPECT_FALSE(b.Have(TWptTypeDataFlag::wdfSpeed) || b.Have(TWptTypeDataFlag::wdfCourse))
            << "speed and course are not read";
        EXPECT_EQ(Tpx(bt).DataPtr(i).HR, 60 + i) << i;
      }
    }
  }
}

TEST_F(GpxReader, AppendsWayPointsReplacesTracksAndIgnoresTheRest) {
  TGPXFile doc;
  doc.WayPoints().Add(Point(1, 1, 0));
  doc.WayPoints().Add(Point(2, 2, 0));
  doc.Tracks().AddNewTrack();
  doc.Tracks().AddNewTrack();
  TGPXMetaData meta;
  meta.Name = "kept";
  doc.SetMetaData(meta);
  doc.LoadFromString(Gpx("<wpt lat='3' lon='3'/><rte><rtept lat='9' lon='9'/></rte>"
                         "<wpt lat='4' lon='4'/><wpt lat='5' lon='5'><ele></ele></wpt>"
                         "<trk><name>only</name></trk>"),
                     "t");
  EXPECT_EQ(doc.WayPoints().Count(), 5);
  EXPECT_EQ(doc.WayPoints().Points(4)._lat, 5);
  EXPECT_FALSE(doc.WayPoints().Points(4).Have(TWptTypeDataFlag::wdfEle)) << "empty text";
  ASSERT_EQ(doc.Tracks().Count(), 1);
  EXPECT_EQ(doc.Tracks()[0].Name, "only");
  EXPECT_EQ(doc.Tracks()[0].Count(), 0);
  EXPECT_EQ(doc.MetaData().Name, "kept") << "the file has no metadata";
  EXPECT_EQ(doc.Creator(), "");
}

TEST_F(GpxReader, Gpx10NameAndPrefixedGpxElements) {
  TGPXFile doc;
  doc.LoadFromString("<gpx xmlns='http://www.topografix.com/GPX/1/0' version='1.0'>"
                     "<name>Old</name><desc>style</desc><time>2013-01-01T00:00:00Z</time></gpx>",
                     "t");
  EXPECT_EQ(doc.MetaData().Name, "Old");
  EXPECT_EQ(doc.MetaData().Desc, "style");

  doc.LoadFromString("<g:gpx xmlns:g='http://www.topografix.com/GPX/1/1' version='1.1'>"
                     "<g:trk><g:trkseg><g:trkpt lat='1' lon='2'><g:ele>5</g:ele></g:trkpt>"
                     "</g:trkseg></g:trk><trk xmlns='urn:not-gpx'/></g:gpx>",
                     "t");
  ASSERT_EQ(doc.Tracks().Count(), 1);
  EXPECT_EQ(doc.Tracks()[0].Points(0)._ele, 5);
}

TEST_F(GpxReader, DetectsExtensionsByPrefixAndURI) {
  const std::string samples = TpxXml("<P:hr>120</P:hr><P:cad>85</P:cad><P:speed>3.42</P:speed>");
  TGPXFile doc;
  doc.LoadFromString(Gpx(Trkpt(samples)), "t");
  ASSERT_TRUE(doc.Tracks()[0].HasExtension(TGPXTrkTypeTpx2::Class()));
  const TGPXTrackPointExtension2& rec = Tpx(doc.Tracks()[0]).DataPtr(0);
  EXPECT_EQ(rec.HR, 120);
  EXPECT_EQ(rec.Cad, 85);
  EXPECT_FLOAT_EQ(rec.Speed, 3.42f);

  // Found by namespace: under another prefix, declared where it is used, and version 1 (heart
  // rate and cadence; it has no speed). The prefix alone, bound to another URI, is not enough.
  const std::string v1 = "http://www.garmin.com/xmlschemas/TrackPointExtension/v1";
  const std::string v2 = "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {Gpx(Trkpt(TpxXml("<P:hr>121</P:hr><P:speed>1.5</P:speed>", "ns3")),
           "xmlns:ns3='" + v2 + "'"),
       "121/-/1.50", "other prefix"},
      {Gpx(Trkpt("<extensions><TrackPointExtension xmlns='" + v2 +
                 "'><hr>122</hr><cad>80</cad></TrackPointExtension></extensions>"),
           "xmlns:x='urn:x'"),
       "122/80/-", "declared on the element"},
      {Gpx(Trkpt(samples), "xmlns:gpxtpx='" + v1 + "'"), "120/85/-", "version 1"},
      {Gpx(Trkpt(samples) + Trkpt(TpxXml("<P:hr>99</P:hr>", "o")),
           "xmlns:gpxtpx='urn:other' xmlns:o='" + v1 + "'"),
       "-/-/-", "the prefix bound to another URI"},
  };
  for (const auto& [text, expected, what] : cases) {
    doc.LoadFromString(text, "t");
    ASSERT_TRUE(doc.Tracks()[0].HasExtension(TGPXTrkTypeTpx2::Class())) << what;
    const TGPXTrackPointExtension2& r = Tpx(doc.Tracks()[0]).DataPtr(0);
    EXPECT_EQ((r.Have(TTpxTypeDataFlag::tpxHR) ? std::to_string(r.HR) : "-") + "/" +
                  (r.Have(TTpxTypeDataFlag::tpxCad) ? std::to_string(r.Cad) : "-") + "/" +
                  (r.Have(TTpxTypeDataFlag::tpxSpeed) ? FormatFixed(r.Speed, 2) : "-"),
              expected)
        << what;
  }
  doc.LoadFromString(Gpx(Trkpt(samples), "xmlns:gpxtpx='urn:other'"), "t");
  EXPECT_FALSE(doc.Tracks()[0].HasExtension(TGPXTrkTypeTpx2::Class()));

  // A class that is not registered is not detected; registering it twice is harmless.
  const std::string test =
      Gpx(Trkpt("<extensions><t:v>x</t:v></extensions>"), "xmlns:t='urn:test'");
  doc.LoadFromString(test, "t");
  EXPECT_FALSE(doc.Tracks()[0].HasExtension(&kTestClass));
  TGPXFile::RegistExtensions(&kTestClass);
  TGPXFile::RegistExtensions(&kTestClass);
  doc.LoadFromString(test, "t");
  ASSERT_TRUE(doc.Tracks()[0].HasExtension(&kTestClass));
  EXPECT_EQ(doc.Tracks()[0].Extension<TestExtension>().Seen[0], "x");
}

TEST_F(GpxReader, ByteValuesOutOfRangeStayAbsentInsteadOfWrapping) {
  TGPXFile doc;
  doc.LoadFromString(Gpx(Trkpt(TpxXml("<P:hr>300</P:hr><P:cad>-1</P:cad><P:speed>1e39</P:speed>"))),
                     "t");
  const TGPXTrackPointExtension2& rec = Tpx(doc.Tracks()[0]).DataPtr(0);
  EXPECT_FALSE(rec.HasAny()) << "heart rate 300 must not become 44";
  doc.LoadFromString(Gpx(Trkpt(TpxXml("<P:hr>99999999999999999999</P:hr><P:cad> 255 </P:cad>"))),
                     "t");
  EXPECT_FALSE(Tpx(doc.Tracks()[0]).DataPtr(0).Have(TTpxTypeDataFlag::tpxHR));
  EXPECT_EQ(Tpx(doc.Tracks()[0]).DataPtr(0).Cad, 255);
}

// Every failure names the file and the line of the element at fault, and leaves the document
// as it was.
TEST_F(GpxReader, FailuresNameFileAndLineAndLeaveTheDocumentAsItWas) {
  const auto point = [](const std::string& Inner) { return Gpx("\n" + Trkpt("\n\n" + Inner)); };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<gpx", "in.gpx, line 1: not well-formed XML: "},
      {"<kml version='1.1'/>", "in.gpx is not a GPX file: its root element is \"kml\""},
      {"<gpx/>", "in.gpx, line 1: GPX Version \"\" not support"},
      {Gpx("").replace(Gpx("").find("1.1\""), 3, "2.0"),
       "in.gpx, line 2: GPX Version \"2.0\" not support"},
      {Gpx("\n" + Trkpt("", "lon='2'")), "in.gpx, line 3: invalid \"lat\" \"\""},
      {Gpx("\n" + Trkpt("", "lat='1' lon='east'")), "in.gpx, line 3: invalid \"lon\" \"east\""},
      {point("<ele>high</ele>"), "in.gpx, line 5: invalid \"ele\" \"high\""},
      {point("<sat>7.5</sat>"), "in.gpx, line 5: invalid \"sat\" \"7.5\""},
      {point("<time>2013-11-24</time>"), "in.gpx, line 5: invalid \"time\" \"2013-11-24\""},
      {point("<ele><v>1</v></ele>"),
       "in.gpx, line 5: element \"ele\" holds elements where a value is expected"},
      {point(TpxXml("<P:hr>fast</P:hr>")), "in.gpx, line 5: invalid \"gpxtpx:hr\" \"fast\""},
      {point(TpxXml("\n<P:speed>nan</P:speed>")),
       "in.gpx, line 6: invalid \"gpxtpx:speed\" \"nan\""},
      {Gpx("<trk><trkseg><trkpt lat='1' lon='2'/>\n<foo/></trkseg></trk>"),
       "in.gpx, line 3: \"foo\" in \"trkseg\", where points are expected"},
      {Gpx("<trk>\n<trkseg>12</trkseg></trk>"),
       "in.gpx, line 3: text in \"trkseg\", where points are expected"},
      {Gpx("<trk>\n<x:name/></trk>"),
       "in.gpx, line 3: not well-formed XML: the prefix \"x\" of \"x:name\" is not declared"},
  };
  for (const auto& [text, message] : cases) {
    TGPXFile doc;
    doc.WayPoints().Add(Point(1, 1, 0));
    doc.Tracks().AddNewTrack().Name = "mine";
    doc.SetCreator("me");
    const std::string before = doc.SaveToString();
    try {
      doc.LoadFromString(text, "in.gpx");
      ADD_FAILURE() << message << " accepted";
    } catch (const Error& e) {
      const std::string what = e.what();
      EXPECT_EQ(message.back() == ' ' ? what.substr(0, message.size()) : what, message);
    }
    EXPECT_EQ(doc.SaveToString(), before) << message;
  }
}

TEST_F(GpxReader, StructuredAuthorIsReadByItsName) {
  TGPXFile doc;
  doc.LoadFromString(Gpx("<metadata><author><name>Ann</name><email id='a' domain='b'/></author>"
                         "</metadata>"),
                     "t");
  EXPECT_EQ(doc.MetaData().Author, "Ann");
  doc.LoadFromString(Gpx("<metadata><author><email id='a' domain='b'/></author></metadata>"), "t");
  EXPECT_EQ(doc.MetaData().Author, "");
}

TEST_F(GpxReader, FilesAreReadThroughTheSameRules) {
  test::TempDir dir;
  auto doc = ExampleDocument("1.1");
  auto sink = std::make_shared<test::RecordingProgress>();
  doc->SetProgress(sink);
  ASSERT_TRUE(doc->Save(dir.File("a.gpx")));
  TGPXFile back;
  back.SetProgress(sink);
  sink->Events.clear();
  back.Load(dir.File("a.gpx"));
  EXPECT_EQ(sink->Events,
            (std::vector<std::string>{"Prepare to loading...", "Constructing Track Data..."}));
  // Everything but the point's speed and course, which are not read.
  std::string expected = doc->SaveToString();
  const std::string motion = "          <speed>12.300</speed>\n          <course>270.5</course>\n";
  ASSERT_NE(expected.find(motion), std::string::npos);
  expected.erase(expected.find(motion), motion.size());
  EXPECT_EQ(back.SaveToString(), expected);
  EXPECT_THROW(back.Load(dir.File("missing.gpx")), FileError);
}

} // namespace
} // namespace tarnwick
