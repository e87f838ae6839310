#include "present/grid_helpers.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Fix;
using test::Slot;

struct Decoded {
  std::unique_ptr<TIGotUSlotBlocks> Blocks;
  TIGotUPoints Points;
  Decoded(uint8_t model, const std::vector<RIGotUPointSlot>& slots)
      : Blocks(test::BlocksOf(slots)), Points(RModelResult{{0, 0, model}}, Blocks.get()) {}
};

std::vector<std::string> Row(const TStringGridHelper& g, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < g.GetColCount(); ++c) {
    cells.push_back(g.GetCellText(c, row));
  }
  return cells;
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

} // namespace
} // namespace tarnwick
