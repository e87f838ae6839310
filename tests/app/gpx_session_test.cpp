// A GPX file in the image session: its tracks as series (our own export read back gives the
// logger's), what it refuses and warns about, and the tracks table the viewer shows for it.
#include "app/gpx_tracks_table.hpp"
#include "app/image_session.hpp"

#include "common/files.hpp"
#include "common/temp_dir.hpp"
#include "sim/sample_image.hpp"
#include "support/errors.hpp"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick::app {
namespace {

using test::WriteFile;
using ::testing::HasSubstr;

// A GT-900 image (heart rate, cadence and speed samples) opened in a session, and its
// tracks exported into File.
void OpenAndExport(ImageSession& Session, const test::TempDir& Dir, const std::string& File) {
  sim::GenerateSampleImage(
      {sim::SampleFamily::GT900, 3000, 11, EncodeDate(2026, 6, 20) + EncodeTime(6, 30, 0, 0)})
      .SaveToFile(Dir.File("trip"));
  Session.Open(Dir.File("trip"));
  std::vector<const TIGotUTrack*> tracks;
  for (int i = 1; i <= Session.Points()->Tracks().Count(); ++i) {
    tracks.push_back(&Session.TrackByNumber(i));
  }
  ASSERT_TRUE(ImageSession::Export(tracks, File, {}, nullptr).Done);
}

std::string Cell(const GpxTracksTable& Table, int Col, int Row) {
  return Table.GetCellText(Col, Row + 1);
}

TEST(GpxSession, OurExportReadsBackAsTheImagesSeries) {
  const test::TempDir dir;
  ImageSession image;
  OpenAndExport(image, dir, dir.File("trip.gpx"));
  const std::vector<TrackSeries> logger = image.Series();

  ImageSession session;
  session.SetZone(TimeZone::Named("Europe/Helsinki"));
  session.OpenGpx(dir.File("trip.gpx"));
  EXPECT_TRUE(session.HasGpx());
  EXPECT_FALSE(session.HasImage());
  EXPECT_EQ(session.Name(), dir.File("trip.gpx"));
  EXPECT_TRUE(session.Warnings().empty());
  const std::vector<TrackSeries>& gpx = session.Series();
  ASSERT_EQ(gpx.size(), logger.size());
  ASSERT_GT(gpx.size(), 0U);
  for (size_t t = 0; t < gpx.size(); ++t) {
    ASSERT_EQ(gpx[t].Size(), logger[t].Size());
    EXPECT_EQ(gpx[t].TimeMs, logger[t].TimeMs);
    EXPECT_EQ(gpx[t].HeartRate.empty(), logger[t].HeartRate.empty());
    EXPECT_EQ(gpx[t].Cadence.empty(), logger[t].Cadence.empty());
  }
  EXPECT_FALSE(gpx[0].HeartRate.empty()) << "the sample image has heart-rate samples";
  // The file's times are its own: another era leaves them as they are.
  session.SetYearEra("2000");
  EXPECT_EQ(session.Series()[0].TimeMs, logger[0].TimeMs);

  // The tracks table on the session's clock: Helsinki is UTC+3 in June.
  GpxTracksTable table;
  table.SetZone(session.Zone());
  table.SetTracks(&session.Series());
  ASSERT_EQ(table.DataCount(), static_cast<int>(gpx.size()));
  EXPECT_EQ(Cell(table, 0, 0), "1");
  EXPECT_EQ(Cell(table, 1, 0), gpx[0].Name);
  EXPECT_EQ(Cell(table, 2, 0).substr(4, 12), "-06-20 09:30");
  EXPECT_EQ(Cell(table, 5, 0), std::to_string(gpx[0].Size()));
  const double seconds = static_cast<double>(gpx[0].TimeMs.back() - gpx[0].TimeMs.front()) / 1000.0;
  EXPECT_EQ(Cell(table, 4, 0), TUTCDateTime::DoubleToTimeStr(seconds));
  // Sorting by duration sorts by the seconds, not the text.
  EXPECT_EQ(table.GetSortKey(4, 0), CellSortKey::Numbers({seconds * 1000}));

  // An image opened afterwards is an image again.
  session.Open(dir.File("trip"));
  EXPECT_FALSE(session.HasGpx());
  EXPECT_EQ(session.Series().size(), logger.size());
}

TEST(GpxSession, RefusalsNameTheFileAndKeepWhatWasOpen) {
  const test::TempDir dir;
  ImageSession session;
  OpenAndExport(session, dir, dir.File("trip.gpx"));
  const TIGotUPoints* shown = session.Points();

  WriteFile(dir.File("junk.gpx"), "PK\x03\x04 not xml");
  WriteFile(dir.File("empty.gpx"),
            R"(<?xml version="1.0"?><gpx version="1.1" creator="t" )"
            R"(xmlns="http://www.topografix.com/GPX/1/1"><wpt lat="1" lon="2"/></gpx>)");
  for (const char* name : {"junk.gpx", "empty.gpx", "missing.gpx"}) {
    try {
      session.OpenGpx(dir.File(name));
      ADD_FAILURE() << name << " was opened";
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(name));
    }
    EXPECT_EQ(session.Points(), shown) << name;
    EXPECT_FALSE(session.HasGpx()) << name;
  }
}

TEST(GpxSession, TracksWithoutPointsOrTimesLoadWithAWarning) {
  const test::TempDir dir;
  WriteFile(dir.File("odd.gpx"),
            R"(<?xml version="1.0"?><gpx version="1.1" creator="t" )"
            R"(xmlns="http://www.topografix.com/GPX/1/1">)"
            R"(<trk><name>drawn</name><trkseg><trkpt lat="60" lon="24"/><trkpt lat="60.01" )"
            R"(lon="24"/></trkseg></trk><trk><name>none</name><trkseg/></trk></gpx>)");
  ImageSession session;
  session.OpenGpx(dir.File("odd.gpx"));
  ASSERT_EQ(session.Series().size(), 2U);
  ASSERT_EQ(session.Warnings().size(), 2U);
  EXPECT_THAT(session.Warnings()[0], HasSubstr("track 1"));
  EXPECT_THAT(session.Warnings()[0], HasSubstr("distance"));
  EXPECT_THAT(session.Warnings()[1], HasSubstr("track 2"));

  // No times: no start, end or duration, but the name and the count.
  GpxTracksTable table;
  table.SetTracks(&session.Series());
  EXPECT_EQ(Cell(table, 1, 0), "drawn");
  EXPECT_EQ(Cell(table, 2, 0), "?");
  EXPECT_EQ(Cell(table, 4, 0), "?");
  EXPECT_EQ(Cell(table, 5, 0), "2");
  EXPECT_EQ(Cell(table, 5, 1), "0");
}

} // namespace
} // namespace tarnwick::app
