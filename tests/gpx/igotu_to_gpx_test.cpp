#include "gpx/ext_point_iterator.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "sim/sample_image.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"

#include "common/temp_dir.hpp"
#include "gpx/gpx_test_util.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::At;
using test::CountOf;
using test::Fix;

const TGPXTrackPointExtension2& Rec(const TGPXFile& Doc, int Track, int Point) {
  const TGPXTrkType& t = Doc.Tracks()[Track];
  return t.Extension<TGPXTrkTypeTpx2>().TrkSegExt[static_cast<size_t>(Point)];
}

TEST(ExtPointIterator, FindsTheSampleThatCoversATime) {
  const RIGotUPointSlot s1 = test::IntRecord(kFlagHeartRate, At(10, 0, 0), 100);
  const RIGotUPointSlot s2 = test::IntRecord(kFlagHeartRate, At(10, 0, 24), 200);
  const TIGotUExtIntPoint r1(s1.data()), r2(s2.data());
  const std::vector<const TIGotUExtIntPoint*> one{&r1}, two{&r1, &r2};

  TIGotUExtPointIterator<TIGotUExtIntPoint> it(one);
  EXPECT_EQ(it.Seek(At(9, 59, 58)), -1);
  EXPECT_EQ(it.Seek(At(9, 59, 59, 500)), 0) << "half a second before truncates to sample 0";
  EXPECT_EQ(it.GetIntValue(), 100);
  EXPECT_EQ(it.Seek(At(10, 0, 0)), 0);
  EXPECT_EQ(it.Seek(At(10, 0, 23, 900)), 0);
  EXPECT_EQ(it.Ofs, 23);
  EXPECT_EQ(it.GetIntValue(), 123);
  EXPECT_EQ(it.Seek(At(10, 0, 24)), -1) << "past the last sample";
  EXPECT_EQ(it.Idx, 0);

  TIGotUExtPointIterator<TIGotUExtIntPoint> it2(two);
  EXPECT_EQ(it2.Seek(At(10, 0, 24)), 1);
  EXPECT_EQ(it2.GetIntValue(), 200);
  EXPECT_EQ(it2.Seek(At(10, 0, 5)), -1) << "the cursor never moves back";
  EXPECT_EQ(it2.Idx, 1);
  it2.Rewind();
  EXPECT_EQ(it2.Seek(At(10, 0, 5)), 0);
}

TEST(ExtPointIterator, GapsBetweenRecordsGiveNoSample) {
  const RIGotUPointSlot s1 = test::IntRecord(kFlagCadence, At(10, 0, 0), 10);
  const RIGotUPointSlot s2 = test::IntRecord(kFlagCadence, At(10, 1, 0), 50);
  const TIGotUExtIntPoint r1(s1.data()), r2(s2.data());
  const std::vector<const TIGotUExtIntPoint*> list{&r1, &r2};
  TIGotUExtPointIterator<TIGotUExtIntPoint> it(list);
  std::vector<int> found;
  for (int s = 0; s <= 70; s += 10) {
    found.push_back(it.Seek(At(10, 0, 0) + s / 86400.0) >= 0 ? it.GetIntValue() : -1);
  }
  EXPECT_EQ(found, (std::vector<int>{10, 20, 30, -1, -1, -1, 50, 60}));

  const RIGotUPointSlot sp = test::SpeedRecord(At(10, 0, 0), 1.5);
  const TIGotUExtDoublePoint rs(sp.data());
  const std::vector<const TIGotUExtDoublePoint*> speeds{&rs};
  TIGotUExtPointIterator<TIGotUExtDoublePoint> its(speeds);
  EXPECT_EQ(its.Seek(At(10, 0, 11)), 0);
  EXPECT_NEAR(its.GetDoubleValue(), 2.6, 1e-9);
  EXPECT_EQ(its.Seek(At(10, 0, 12)), -1) << "speed records hold 12 samples";
}

// Two GT-900 tracks: the first with a way point and heart rate, cadence and speed samples
// that cover parts of it, the second without any samples.
test::TestImage TwoTracks900() {
  std::vector<RIGotUPointSlot> slots;
  slots.push_back(test::IntRecord(kFlagHeartRate, At(6, 21, 52), 120));
  for (int s = 0; s < 40; s += 2) {
    slots.push_back(test::Point900(Fix(At(6, 21, 52) + s / 86400.0, 35.6812345 + s * 1e-5),
                                   40.12 + s, s == 10 ? 0x04 : 0));
  }
  slots.push_back(test::IntRecord(kFlagCadence, At(6, 22, 20), 85));
  slots.push_back(test::SpeedRecord(At(6, 22, 0), 3.4166));
  slots.push_back(sim::RecordEncoder::LogMessage(At(7, 0, 0), "RESET COUNTER", 0));
  for (int s = 0; s < 5; ++s) {
    slots.push_back(
        test::Point900(Fix(At(7, 9, s), 35.7, 139.8, 12, 1.5, 90), 30, s == 4 ? 0x04 : 0));
  }
  return test::Decode(test::kGT900, slots);
}

TEST(IGotUDataToGPX, ConvertsTracksWithTheirSamplesAndWayPoints) {
  const test::TestImage image = TwoTracks900();
  ASSERT_EQ(image.Points->Tracks().Count(), 2);
  const TIGotUDataToGPX conversion({&image.Track(0), &image.Track(1)}, "unused");
  const auto doc = conversion.CreateDocument();
  EXPECT_EQ(doc->Version(), "1.1");
  EXPECT_EQ(doc->Creator(), "Tarnwick. Vanterel.");
  ASSERT_EQ(doc->Tracks().Count(), 2);
  EXPECT_EQ(doc->Tracks()[0].Name, "20131124-0621");
  EXPECT_EQ(doc->Tracks()[1].Name, "20131124-0709");
  ASSERT_EQ(doc->Tracks()[0].Count(), 20);

  const TGPXWptType& first = doc->Tracks()[0].Points(0);
  EXPECT_EQ(first._lat, 35.6812345);
  EXPECT_DOUBLE_EQ(first._ele, 40.12) << "the pressure elevation";
  EXPECT_FALSE(first.Have(TWptTypeDataFlag::wdfSat)) << "GT-900 points report no satellites";
  EXPECT_DOUBLE_EQ(first._speed, 12.3);
  EXPECT_DOUBLE_EQ(first._course, 270.5);

  // Point i is at 06:21:52 + 2i s: heart rate 120.. for 24 s, speed from 06:22:00 for 12 s,
  // cadence from 06:22:20.
  std::vector<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const auto& r = Rec(*doc, 0, i);
    seen.push_back((r.Have(TTpxTypeDataFlag::tpxHR) ? std::to_string(r.HR) : "-") + "/" +
                   (r.Have(TTpxTypeDataFlag::tpxCad) ? std::to_string(r.Cad) : "-") + "/" +
                   (r.Have(TTpxTypeDataFlag::tpxSpeed) ? FormatFixed(r.Speed, 2) : "-"));
  }
  EXPECT_EQ(seen[0], "120/-/-");
  EXPECT_EQ(seen[4], "128/-/3.42");
  EXPECT_EQ(seen[9], "138/-/4.42");
  EXPECT_EQ(seen[11], "142/-/-");
  EXPECT_EQ(seen[12], "-/-/-");
  EXPECT_EQ(seen[14], "-/85/-") << "covered by the cadence record alone";
  EXPECT_EQ(seen[19], "-/95/-");
  EXPECT_FALSE(Rec(*doc, 1, 0).HasAny());

  ASSERT_EQ(doc->WayPoints().Count(), 2) << "the way points of both tracks, in track order";
  EXPECT_EQ(DateTimeToMilliseconds(doc->WayPoints().Points(0)._time),
            DateTimeToMilliseconds(At(6, 22, 2)));
  EXPECT_EQ(doc->WayPoints().Points(1)._lat, 35.7);
  EXPECT_FALSE(doc->WayPoints().Points(0).Have(TWptTypeDataFlag::wdfSpeed));
  EXPECT_FALSE(doc->WayPoints().Points(0).Have(TWptTypeDataFlag::wdfCourse));

  const std::string text = doc->SaveToString();
  EXPECT_LT(text.find("<wpt "), text.find("<trk>")) << "way points come first";
  // The second track has no samples: speed and course alone in every "extensions".
  const std::string second = text.substr(text.rfind("<trk>"));
  EXPECT_EQ(CountOf(second, "<extensions>"), 5u);
  EXPECT_EQ(CountOf(second,
                    "<speed>1.500</speed>\n          <course>90.0</course>\n        </extensions>"),
            5u);
  EXPECT_EQ(CountOf(second, "gpxtpx"), 0u);
}

TEST(IGotUDataToGPX, GT100PointsCarryTheirSatellites) {
  std::vector<RIGotUPointSlot> slots;
  slots.push_back(test::Point120(Fix(At(9, 7, 0, 0, 5)), 7, 0x40));
  slots.push_back(test::Point120(Fix(At(9, 7, 3, 0, 5), 35.69, 139.77, -12.5), 11, 0x04));
  const test::TestImage image = test::Decode(test::kGT120, slots);
  const auto doc = TIGotUDataToGPX(image.Track(0), "unused").CreateDocument();
  EXPECT_EQ(doc->Tracks()[0].Name, "20131105-0907");
  EXPECT_EQ(doc->Tracks()[0].Points(0)._sat, 7);
  EXPECT_DOUBLE_EQ(doc->Tracks()[0].Points(1)._ele, -12.5) << "the GPS elevation";
  ASSERT_EQ(doc->WayPoints().Count(), 1);
  EXPECT_EQ(doc->WayPoints().Points(0)._sat, 11);
}

TEST(IGotUDataToGPX, PreferencesChooseVersionExtensionsAndStrictness) {
  const test::TestImage image = TwoTracks900();
  const auto text = [&](GPXPreferences prefs) {
    return TIGotUDataToGPX(image.Track(0), "unused", prefs).CreateDocument()->SaveToString();
  };

  GPXPreferences plain;
  plain.OutputExtensions = false;
  const std::string noExt = text(plain);
  EXPECT_EQ(noExt.find("gpxtpx"), std::string::npos);

  GPXPreferences v10;
  v10.Version = "1.0";
  const std::string old = text(v10);
  EXPECT_NE(old.find("version=\"1.0\""), std::string::npos);
  EXPECT_NE(old.find("<time>2013-11-24T06:21:52.000</time>\n        <speed>12.300</speed>\n"
                     "        <course>270.5</course>\n        <extensions>\n"),
            std::string::npos);

  GPXPreferences strict11;
  strict11.Strict = true;
  const std::string s11 = text(strict11);
  EXPECT_EQ(s11.find("<speed>"), std::string::npos);
  EXPECT_EQ(s11.find("<course>"), std::string::npos);
  // The sensor's speed where a sample covers the point, the GPS speed elsewhere.
  EXPECT_NE(s11.find("<gpxtpx:hr>128</gpxtpx:hr>\n            <gpxtpx:speed>3.42</gpxtpx:speed>\n"
                     "            <gpxtpx:course>270.5</gpxtpx:course>"),
            std::string::npos)
      << s11;
  EXPECT_NE(s11.find("<gpxtpx:hr>120</gpxtpx:hr>\n            <gpxtpx:speed>12.30</gpxtpx:speed>"),
            std::string::npos);

  GPXPreferences strict10 = v10;
  strict10.Strict = true;
  const std::string s10 = text(strict10);
  EXPECT_EQ(s10.find("<extensions>"), std::string::npos);
  EXPECT_NE(s10.find("<course>270.5</course>\n        <speed>12.300</speed>\n"
                     "        <gpxtpx:TrackPointExtension>\n"),
            std::string::npos)
      << s10;

  GPXPreferences bad;
  bad.Version = "1.2";
  EXPECT_THROW(text(bad), Error);
}

TEST(IGotUDataToGPX, StrictLeavesOutValuesTheSchemasForbid) {
  std::vector<RIGotUPointSlot> slots;
  std::array<uint8_t, 24> zeros{};
  std::array<uint8_t, 24> full{};
  full.fill(255);
  slots.push_back(sim::RecordEncoder::ExtInt(kFlagHeartRate, At(8, 0, 0), zeros, 0));
  slots.push_back(sim::RecordEncoder::ExtInt(kFlagCadence, At(8, 0, 0), full, 0));
  slots.push_back(test::Point900(Fix(At(8, 0, 1), 35, 139, 1, 2, 400), 5));
  // The schemas' bound itself is a course, the least step past it none.
  slots.push_back(test::Point900(Fix(At(8, 0, 2), 35, 139, 1, 2, 360), 5));
  slots.push_back(test::Point900(Fix(At(8, 0, 3), 35, 139, 1, 2, 360.01), 5));
  const test::TestImage image = test::Decode(test::kGT900, slots);
  GPXPreferences prefs;
  prefs.Strict = true;
  for (const char* version : {"1.0", "1.1"}) {
    prefs.Version = version;
    const auto doc = TIGotUDataToGPX(image.Track(0), "unused", prefs).CreateDocument();
    const auto& rec = Rec(*doc, 0, 0);
    EXPECT_FALSE(rec.Have(TTpxTypeDataFlag::tpxHR)) << version << ": heart rate 0";
    EXPECT_FALSE(rec.Have(TTpxTypeDataFlag::tpxCad)) << version << ": cadence 255";
    EXPECT_FALSE(rec.Have(TTpxTypeDataFlag::tpxCourse)) << version << ": course 400";
    EXPECT_FALSE(doc->Tracks()[0].Points(0).Have(TWptTypeDataFlag::wdfCourse)) << version;
    // GPX 1.0 has an element of its own for the course; 1.1 carries it in the extension.
    const auto course = [&](int point) -> std::optional<double> {
      if (std::string(version) == "1.0") {
        const TGPXWptType& p = doc->Tracks()[0].Points(point);
        return p.Have(TWptTypeDataFlag::wdfCourse) ? std::optional<double>(p._course)
                                                   : std::nullopt;
      }
      const auto& r = Rec(*doc, 0, point);
      return r.Have(TTpxTypeDataFlag::tpxCourse) ? std::optional<double>(r.Course) : std::nullopt;
    };
    EXPECT_EQ(course(1), 360.0) << version;
    EXPECT_EQ(course(2), std::nullopt) << version << ": course 360.01";
  }
  const auto loose = TIGotUDataToGPX(image.Track(0), "unused").CreateDocument();
  EXPECT_EQ(Rec(*loose, 0, 0).HR, 0) << "the default layout keeps every value";
  EXPECT_EQ(Rec(*loose, 0, 0).Cad, 255);
}

TEST(IGotUDataToGPX, ExecuteWritesReportsAndKeepsOldFilesOnFailure) {
  test::TempDir dir;
  const test::TestImage image = TwoTracks900();
  const std::string file = dir.File("out.gpx");
  auto sink = std::make_shared<test::RecordingProgress>();
  TIGotUDataToGPX conversion(image.Track(1), file);
  EXPECT_TRUE(conversion.Execute(sink));
  EXPECT_EQ(sink->Events,
            (std::vector<std::string>{"Prepare to saving...", "Constructing Track Data...",
                                      "progress 0/5", "progress 1/5", "progress 2/5",
                                      "progress 3/5", "progress 4/5", "Save to file..."}));
  const std::string written = test::ReadFile(file);
  EXPECT_EQ(CountOf(written, "<trkpt "), 5u);
  EXPECT_TRUE(conversion.Execute(nullptr)) << "a sink is optional";

  // Cancelled: nothing replaces the file the user had.
  test::WriteFile(file, "precious");
  sink->CancelAtReport = 1;
  EXPECT_FALSE(conversion.Execute(sink));
  EXPECT_EQ(test::ReadFile(file), "precious");

  // A track without points has no start time to name it by.
  const TIGotUTrack empty;
  EXPECT_THROW(TIGotUDataToGPX(empty, file).Execute(nullptr), ListError);
  EXPECT_EQ(test::ReadFile(file), "precious");
  EXPECT_THROW(TIGotUDataToGPX(image.Track(0), dir.File("no/such/dir.gpx")).Execute(nullptr),
               FileError);
}

// The files written for generated images, compared byte for byte.
TEST(IGotUDataToGPX, GoldenFilesOfBothFamilies) {
  test::TempDir dir;
  for (const auto family : {sim::SampleFamily::GT120, sim::SampleFamily::GT900}) {
    const TIGotUWholeData data = sim::GenerateSampleImage({family, 300, 10});
    const TIGotUPoints points(data.Status.FModel, data.Blocks());
    std::vector<const TIGotUTrack*> tracks;
    for (int i = 0; i < points.Tracks().Count(); ++i) {
      tracks.push_back(&points.Tracks()[i]);
    }
    const std::string name = family == sim::SampleFamily::GT120 ? "gt120" : "gt900";
    for (const char* version : {"1.0", "1.1"}) {
      GPXPreferences prefs;
      prefs.Version = version;
      const std::string file = dir.File(name + ".gpx");
      ASSERT_TRUE(TIGotUDataToGPX(tracks, file, prefs).Execute(nullptr));
      EXPECT_TRUE(
          test::MatchesGolden("gpx/sample-" + name + "-" + version + ".gpx", test::ReadFile(file)));
    }
  }
}

} // namespace
} // namespace tarnwick
