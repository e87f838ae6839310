#include "present/grid_helpers.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace tarnwick {
namespace {

using test::Decoded;
using test::Fix;
using test::Reset;
using test::Slot;

std::vector<std::string> Row(const TStringGridHelper& g, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < g.GetColCount(); ++c) {
    cells.push_back(g.GetCellText(c, row));
  }
  return cells;
}

// The data items of Table in the order its column Col sorts them, ascending (ties keep the
// written order, as the viewer's sorting does).
std::vector<int> SortedBy(const TStringGridHelper& Table, int Col) {
  std::vector<int> items(static_cast<size_t>(Table.DataCount()));
  std::iota(items.begin(), items.end(), 0);
  std::stable_sort(items.begin(), items.end(), [&](int A, int B) {
    return Table.GetSortKey(Col, A) < Table.GetSortKey(Col, B);
  });
  return items;
}

TEST(GridHelpers, EmptyTablesShowOneRowOfQuestionMarks) {
  TTrackPointGridHelper points;
  TWayPointGridHelper ways;
  TTracksGridHelper tracks;
  TPointsDumpGridHelper dump;
  TExtIntPointGridHelper hr;
  TExtDoublePointGridHelper speed;
  for (const TStringGridHelper* g : std::initializer_list<const TStringGridHelper*>{
           &points, &ways, &tracks, &dump, &hr, &speed}) {
    EXPECT_EQ(g->RowCount(), 2);
    EXPECT_EQ(g->DataCount(), 0);
    for (int c = 0; c < g->GetColCount(); ++c) {
      EXPECT_EQ(g->GetCellText(c, 1), "?");
      EXPECT_FALSE(g->GetCellText(c, 0).empty());
    }
    EXPECT_EQ(g->GetCellText(g->GetColCount(), 0), "?") << "column past the end";
  }
  const TIGotUTrack emptyTrack;
  points.SetTrack(&emptyTrack);
  EXPECT_EQ(points.RowCount(), 2);
  EXPECT_EQ(points.GetCellText(0, 1), "?");
  const Decoded none(0x15, {});
  dump.SetPoints(&none.Points);
  EXPECT_EQ(dump.RowCount(), 2);
  EXPECT_EQ(dump.GetCellText(3, 1), "?");
}

TEST(GridHelpers, Captions) {
  EXPECT_EQ(Row(TTrackPointGridHelper(), 0),
            (std::vector<std::string>{"#", "Flag", "Time", "Lat:Lng", "Elev", "EHPE", "PressElev",
                                      "Speeds", "Course", "SatMap"}));
  EXPECT_EQ(Row(TTracksGridHelper(), 0),
            (std::vector<std::string>{"#", "Time", "TimeLen", "Count", "WayPoints", "HR", "Cadence",
                                      "Speed"}));
  EXPECT_EQ(Row(TPointsDumpGridHelper(), 0),
            (std::vector<std::string>{"#", "Flag", "Time", "Data"}));
  EXPECT_EQ(Row(TExtIntPointGridHelper(), 0),
            (std::vector<std::string>{"#", "Time", "Data", "SMS"}));
  EXPECT_EQ(TTracksGridHelper().GetHeader(1).Alignment, CellAlignment::Center);
  EXPECT_EQ(TTracksGridHelper().GetHeader(0).Width, 20);
  EXPECT_EQ(TPointsDumpGridHelper().GetHeader(3).Width, 500);
}

TEST(GridHelpers, TrackPointCellsOfBothFamilies) {
  const Decoded gt120(0x15, {Slot{}
                                 .Flags(0x44)
                                 .At(6, 21, 52)
                                 .Position(356812345, -1397654321)
                                 .DWord(8, 0b101)
                                 .DWord(20, 4012)
                                 .Word(6, 250)
                                 .Word(24, 342)
                                 .Word(26, 27050)});
  TTrackPointGridHelper grid;
  grid.SetTrack(&gt120.Points.Tracks()[0]);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(Row(grid, 1),
            (std::vector<std::string>{"1", "44", "2013-11-24 06:21:52", "35.6812 -139.7654",
                                      "40.12", "2.50", "---", "3.42", "270.50",
                                      "(2) " + std::string(29, '0') + "101"}));
  TWayPointGridHelper ways(',');
  ways.SetTrack(&gt120.Points.Tracks()[0]);
  EXPECT_EQ(ways.GetCellText(3, 1), "35,6812 -139,7654");

  const Decoded gt900(0x17, {Fix(0, 6, 0, 0).DWord(8, static_cast<uint32_t>(-1234))});
  grid.SetTrack(&gt900.Points.Tracks()[0]);
  EXPECT_EQ(grid.GetCellText(6, 1), "-12.34");
  EXPECT_EQ(grid.GetCellText(9, 1), "") << "no satellite map: empty, not ?";
  grid.SetTrack(nullptr);
  EXPECT_EQ(grid.GetCellText(1, 1), "?");
}

TEST(GridHelpers, BadDatesShowTheirErrorAndTheRestStillFormats) {
  const Decoded d(0x15, {Fix(0, 6, 0, 0), Slot{}.Flags(0).YM(0xDD).DHM(1 << 11).Position(1, 1)});
  TTrackPointGridHelper grid;
  grid.SetTrack(&d.Points.Tracks()[0]);
  EXPECT_EQ(grid.GetCellText(2, 2), "Invalid Month 13 in DD");
  EXPECT_EQ(grid.GetCellText(3, 2), "0.0000 0.0000");
  TTracksGridHelper tracks;
  tracks.SetTracks(&d.Points.Tracks());
  EXPECT_EQ(tracks.GetCellText(2, 1), "Invalid Month 13 in DD");
  EXPECT_EQ(tracks.GetCellText(3, 1), "2");
}

TEST(GridHelpers, TracksAndDump) {
  const Decoded d(0x17, {Slot{}.Flags(0xF5).At(5, 59, 0), Fix(0x04, 6, 0, 0), Fix(0, 7, 2, 3),
                         Slot{}.Flags(0xF6).At(7, 2, 4), Slot{}.Flags(0xF7).At(7, 2, 5)});
  TTracksGridHelper tracks;
  int changes = 0;
  tracks.SetOnDataChanged([&] { ++changes; });
  tracks.SetTracks(&d.Points.Tracks());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Row(tracks, 1), (std::vector<std::string>{"1", "2013-11-24 06:00:00", "01:02:03.000",
                                                      "2", "1", "1", "1", "1"}));
  TPointsDumpGridHelper dump;
  dump.SetPoints(&d.Points);
  EXPECT_EQ(dump.RowCount(), 6);
  const auto row = Row(dump, 2);
  EXPECT_EQ(row[0], "2");
  EXPECT_EQ(row[1], "04");
  EXPECT_EQ(row[2], "2013-11-24 06:00:00");
  EXPECT_EQ(row[3].substr(0, 18), "04 DB C1 80 00 00 ");
  EXPECT_EQ(row[3].size(), 96U);
}

TEST(GridHelpers, ExtensionCells) {
  Slot hr = Slot{}.Flags(0xF5).At(6, 0, 0).Word(30, 4242);
  for (int i = 0; i < 24; ++i) {
    hr.Byte(6 + i, static_cast<uint8_t>(i * 11));
  }
  Slot sp = Slot{}.Flags(0xF7).At(6, 0, 1).Byte(6, 0x10).Byte(7, 0x27);
  const Decoded d(0x17, {hr, sp, Fix(0, 6, 0, 2)});
  const auto& track = d.Points.Tracks()[0];
  TExtIntPointGridHelper ints;
  ints.SetPoints(&track.HR());
  const std::string values = ints.GetCellText(2, 1);
  EXPECT_EQ(values.size(), 96U);
  EXPECT_EQ(values.substr(0, 12), "  0  11  22 ");
  EXPECT_EQ(values.substr(92), "253 ");
  EXPECT_EQ(ints.GetCellText(3, 1), "0:4242");
  EXPECT_EQ(ints.GetCellText(1, 1), "2013-11-24 06:00:00");
  TExtDoublePointGridHelper doubles;
  doubles.SetPoints(&track.Speed());
  EXPECT_EQ(
      doubles.GetCellText(2, 1), "100.00 " + [] {
        std::string s;
        for (int i = 0; i < 11; ++i) {
          s += "0.00 ";
        }
        return s;
      }());
  EXPECT_EQ(doubles.GetCellText(2, 2), "?");
}

TEST(GridHelpers, SortKeysOrderByValueNotByText) {
  // Elevations 30.00, -5.00, 100.00, -12.50: as texts "-12.50" < "-5.00" < "100.00" < "30.00".
  // Positions share a latitude and differ in longitude, or differ in latitude.
  // Satellite counts (10) and (9): as texts "(10)" < "(9)".
  const Decoded d(
      0x15,
      {Fix(0, 6, 0, 0).DWord(20, 3000).Position(100, 50).DWord(8, 0x3FF),
       Fix(0, 6, 0, 9).DWord(20, static_cast<uint32_t>(-500)).Position(-100, 7).DWord(8, 0x1FF),
       Fix(0, 6, 0, 3).DWord(20, 10000).Position(100, -50).DWord(8, 0x1),
       Fix(0, 6, 0, 1).DWord(20, static_cast<uint32_t>(-1250)).Position(-200, 9).DWord(8, 0x3)});
  TTrackPointGridHelper grid;
  grid.SetTrack(&d.Points.Tracks()[0]);
  ASSERT_EQ(grid.DataCount(), 4);
  EXPECT_EQ(SortedBy(grid, 4), (std::vector<int>{3, 1, 0, 2})) << "Elev";
  EXPECT_EQ(SortedBy(grid, 2), (std::vector<int>{0, 3, 2, 1})) << "Time";
  EXPECT_EQ(SortedBy(grid, 3), (std::vector<int>{3, 1, 2, 0})) << "Lat:Lng";
  EXPECT_EQ(SortedBy(grid, 9), (std::vector<int>{2, 3, 1, 0})) << "SatMap";
  EXPECT_EQ(SortedBy(grid, 0), (std::vector<int>{0, 1, 2, 3})) << "#";
  // A point without pressure elevation ("---") sorts before every value.
  EXPECT_FALSE(grid.GetSortKey(6, 0).HasValue());
  EXPECT_FALSE(grid.GetSortKey(1, 4).HasValue()) << "past the end: no value, no crash";

  // Tracks of 100:00:00 and 9:00:00: as texts "09:00:00.000" < "100:00:00.000" happens to be
  // right, but 100 and 99 hours are not.
  const Decoded long_tracks(
      0x15, {Fix(0, 1, 0, 0), Slot{}.Flags(0).At(5, 0, 0, 0, 28).Position(1, 1), Reset(6, 0, 0),
             Fix(0, 6, 0, 0), Slot{}.Flags(0).At(5, 0, 0, 0, 28).Position(1, 1)});
  TTracksGridHelper tracks;
  tracks.SetTracks(&long_tracks.Points.Tracks());
  ASSERT_EQ(tracks.DataCount(), 2);
  EXPECT_EQ(tracks.GetCellText(2, 1), "100:00:00.000");
  EXPECT_EQ(tracks.GetCellText(2, 2), "95:00:00.000");
  EXPECT_EQ(SortedBy(tracks, 2), (std::vector<int>{1, 0}));
}

TEST(GridHelpers, SortKeysOfTimesFollowTheMomentAndPutBadDatesFirst) {
  // 2013-11-24 23:30 and 2013-11-25 00:10 on the clock of a zone six hours behind: the texts
  // read 17:30 and 18:10 of the 24th either way, and a zone does not change the order.
  const Decoded d(0x17, {Slot{}.Flags(0xF5).At(23, 30, 0), Fix(0, 23, 40, 0),
                         Slot{}.Flags(0xF5).YM(0xDD).DHM(1 << 11),
                         Slot{}.Flags(0xF5).At(0, 10, 0, 0, 25), Slot{}.Flags(0xF5).At(7, 0, 0)});
  TPointsDumpGridHelper dump;
  dump.SetPoints(&d.Points);
  EXPECT_EQ(SortedBy(dump, 2), (std::vector<int>{2, 4, 0, 1, 3}));
  EXPECT_EQ(SortedBy(dump, 1), (std::vector<int>{1, 0, 2, 3, 4})) << "flags 00 before F5";
  TExtIntPointGridHelper hr;
  hr.SetPoints(&d.Points.Tracks()[0].HR());
  ASSERT_EQ(hr.DataCount(), 4);
  // The bad date shows its error message and sorts first.
  EXPECT_EQ(hr.GetCellText(1, 2), "Invalid Month 13 in DD");
  EXPECT_EQ(SortedBy(hr, 1), (std::vector<int>{1, 3, 0, 2}));
}

TEST(GridHelpers, SortKeysOfSamplesCompareValueByValue) {
  // Speed samples 100.00 then 0.00, and 2.00 then 5.00: as texts "100.00 ..." < "2.00 ...".
  const Decoded d(0x17,
                  {Slot{}.Flags(0xF7).At(6, 0, 0).Byte(6, 0x10).Byte(7, 0x27),
                   Slot{}.Flags(0xF7).At(6, 0, 12).Byte(6, 200).Byte(8, 0xF4).Byte(9, 1),
                   Slot{}.Flags(0xF7).At(6, 0, 24).Byte(6, 200).Word(30, 7), Fix(0, 6, 0, 30)});
  TExtDoublePointGridHelper speed;
  speed.SetPoints(&d.Points.Tracks()[0].Speed());
  ASSERT_EQ(speed.GetCellText(2, 2).substr(0, 10), "2.00 5.00 ");
  EXPECT_EQ(SortedBy(speed, 2), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(SortedBy(speed, 3), (std::vector<int>{0, 1, 2})) << "SMS 0, 12000, 24000";
}

TEST(GridHelpers, EveryColumnSaysWhatItMeansAndHowWideItIs) {
  const Decoded d(0x17, {Slot{}.Flags(0xF5).At(6, 0, 0), Slot{}.Flags(0xF6).At(6, 0, 0),
                         Slot{}.Flags(0xF7).At(6, 0, 0), Fix(0x04, 6, 0, 1)});
  const TIGotUTrack& track = d.Points.Tracks()[0];
  TTrackPointGridHelper points;
  points.SetTrack(&track);
  TWayPointGridHelper ways;
  ways.SetTrack(&track);
  TTracksGridHelper tracks;
  tracks.SetTracks(&d.Points.Tracks());
  TPointsDumpGridHelper dump;
  dump.SetPoints(&d.Points);
  TExtIntPointGridHelper hr;
  hr.SetPoints(&track.HR());
  TExtDoublePointGridHelper speed;
  speed.SetPoints(&track.Speed());
  for (const TStringGridHelper* g : std::initializer_list<const TStringGridHelper*>{
           &points, &ways, &tracks, &dump, &hr, &speed}) {
    for (int c = 0; c < g->GetColCount(); ++c) {
      const TDataViewFormHeader h = g->GetHeader(c);
      EXPECT_FALSE(h.Hint.empty()) << h.Caption;
      EXPECT_FALSE(h.Typical.empty()) << h.Caption;
      // Cells of fixed width (the speed samples' are not; this logger has no satellite map):
      // the typical text is exactly as long as a real one.
      const std::string cell = g->GetCellText(c, 1);
      if ((h.Caption == "Time" || h.Caption == "Data" || h.Caption == "Flag" ||
           h.Caption == "TimeLen") &&
          g != &speed) {
        EXPECT_EQ(h.Typical.size(), cell.size()) << h.Caption;
      }
    }
  }
  // The units the columns are read in.
  EXPECT_NE(points.GetHeader(7).Hint.find("m/s"), std::string::npos);
  EXPECT_NE(points.GetHeader(5).Hint.find(" m"), std::string::npos);
  EXPECT_NE(tracks.GetHeader(5).Hint.find("Number of"), std::string::npos);
  EXPECT_NE(speed.GetHeader(2).Hint.find("m/s"), std::string::npos);
}

} // namespace
} // namespace tarnwick
