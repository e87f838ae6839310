// Year eras: which of the years 16 apart a record's four year bits mean, and that the decoded
// data reads every time through the era in force.
#include "logger/tracks.hpp"
#include "logger/year_era.hpp"
#include "support/errors.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Slot;

// The header fields of Year-Month-Day hh:mm:ss.ms as a logger writes them.
Slot At(int Year, int Month, int Day, int H, int Mi, int S, int Ms = 0) {
  return Slot{}
      .YM(static_cast<uint8_t>(((Year - 2000) & 0x0F) << 4 | Month))
      .DHM(static_cast<uint16_t>(Day << 11 | H << 6 | Mi))
      .SMS(static_cast<uint16_t>(S * 1000 + Ms));
}

int YearOf(const YearEra& Era, const Slot& S) {
  return Era.YearBase(S.Bytes[1], static_cast<uint16_t>(S.Bytes[2] << 8 | S.Bytes[3]),
                      static_cast<uint16_t>(S.Bytes[4] << 8 | S.Bytes[5])) +
         (S.Bytes[1] >> 4);
}

DateTime Utc(int Y, int M, int D, int H = 0, int Mi = 0, int S = 0, int Ms = 0) {
  return EncodeDate(Y, M, D) + EncodeTime(H, Mi, S, Ms);
}

TEST(YearEra, RecordedAndFixedWindows) {
  EXPECT_EQ(YearOf(YearEra::Recorded(), At(2026, 5, 1, 8, 0, 0)), 2010);
  EXPECT_EQ(YearOf(YearEra::Recorded(), At(2015, 5, 1, 8, 0, 0)), 2015);

  // Each first year reads the sixteen bit values as the sixteen years from it.
  for (const int first : {2000, 2010, 2016, 2021}) {
    const YearEra era = YearEra::FromFirstYear(first);
    EXPECT_EQ(era.FirstYear(), first);
    EXPECT_EQ(era.LastYear(), first + 15);
    for (int year = first; year <= first + 15; ++year) {
      EXPECT_EQ(YearOf(era, At(year, 6, 1, 0, 0, 0)), year) << first << " " << year;
    }
  }
  EXPECT_THROW(YearEra::FromFirstYear(1999), ConvertError);
  EXPECT_THROW(YearEra::FromFirstYear(9985), ConvertError);
}

TEST(YearEra, AutomaticTakesTheLatestYearNotAfterTheDownloadWithADayOfSlack) {
  const YearEra era = YearEra::Automatic(Utc(2026, 12, 10, 12, 0, 0));
  EXPECT_EQ(era.FirstYear(), 2011);
  EXPECT_EQ(era.LastYear(), 2026);
  EXPECT_EQ(YearOf(era, At(2026, 12, 10, 11, 59, 0)), 2026);
  // The logger's clock may run ahead of the computer's: up to a day counts as this year.
  EXPECT_EQ(YearOf(era, At(2026, 12, 11, 12, 0, 0)), 2026);
  EXPECT_EQ(YearOf(era, At(2026, 12, 11, 12, 0, 0, 1)), 2010);
  EXPECT_EQ(YearOf(era, At(2026, 12, 31, 23, 0, 0)), 2010);
  EXPECT_EQ(YearOf(era, At(2027, 1, 5, 8, 0, 0)), 2011); // bits 11: 2027 is after the download
  EXPECT_EQ(YearOf(era, At(2016, 3, 1, 8, 0, 0)), 2016);
  EXPECT_EQ(YearOf(era, At(2015, 3, 1, 8, 0, 0)), 2015);

  // A download on the last day of a year lets the slack reach into the next one.
  const YearEra newYear = YearEra::Automatic(Utc(2031, 12, 31, 20, 0, 0));
  EXPECT_EQ(YearOf(newYear, At(2032, 1, 1, 6, 0, 0)), 2032);
  EXPECT_EQ(YearOf(newYear, At(2032, 1, 2, 6, 0, 0)), 2016);

  // A track across the turn of an era keeps its order.
  const YearEra turn = YearEra::Automatic(Utc(2032, 2, 1));
  EXPECT_EQ(YearOf(turn, At(2031, 12, 31, 23, 59, 0)), 2031);
  EXPECT_EQ(YearOf(turn, At(2032, 1, 1, 0, 1, 0)), 2032);

  // Before the logger's own years ran out nothing moves; nothing fits: as recorded.
  const YearEra early = YearEra::Automatic(Utc(2013, 6, 1));
  EXPECT_EQ(YearOf(early, At(2012, 6, 1, 0, 0, 0)), 2012);
  EXPECT_EQ(YearOf(early, At(2014, 6, 1, 0, 0, 0)), 2014);
  EXPECT_EQ(early.FirstYear(), 2000);
}

TEST(YearEra, DamagedFieldsStillGetAYearWithoutAnError) {
  const YearEra era = YearEra::Automatic(Utc(2026, 12, 10));
  const Slot month13 = Slot{}.YM(0xAD).DHM(0xFFFF).SMS(0xFFFF);
  EXPECT_EQ(YearOf(era, month13), 2010); // later in 2026 than any moment: the era before
  EXPECT_EQ(YearOf(era, Slot{}.YM(0xA0).DHM(0).SMS(0)), 2026);
}

TEST(YearEra, SettingsAndDescriptions) {
  const auto downloaded = Utc(2026, 12, 10, 5, 27, 8);
  EXPECT_EQ(YearEra::FromSetting("auto", downloaded).Description(),
            "years read as 2011\u20132026: downloaded 2026-12-10");
  EXPECT_EQ(YearEra::FromSetting("auto", std::nullopt).Description(),
            "years read as 2000\u20132015: as recorded, the image has no download time");
  EXPECT_TRUE(YearEra::FromSetting("auto", std::nullopt).IsRecorded());
  EXPECT_EQ(YearEra::FromSetting("recorded", downloaded).Description(),
            "years read as 2000\u20132015: as recorded");
  EXPECT_EQ(YearEra::FromSetting("2016", downloaded).Description(),
            "years read as 2016\u20132031: as chosen");
  for (const char* bad : {"", "Auto", "1999", "20x6", "02016", "12345", "2016 ", "-2016"}) {
    EXPECT_THROW(YearEra::CheckSetting(bad), ConvertError) << bad;
  }
}

TEST(YearEra, DecodedDataReadsTimesThroughTheEraAndChangesInPlace) {
  const auto slots = std::vector<RIGotUPointSlot>{
      At(2026, 6, 1, 8, 0, 0).Flags(0x00).Position(356812345, 1397654321),
      At(2026, 6, 1, 9, 30, 0).Flags(0x00).Position(356812345, 1397654321),
  };
  TIGotUPoints points(RModelResult{{0, 0, 0x15}}, test::BlocksOf(slots).get(),
                      YearEra::Automatic(Utc(2026, 12, 10)));
  const TIGotUTrack& track = points.Tracks()[0];
  const TIGotUTrackPoint* first = track.Points()[0];
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", track.StartTime()), "2026-06-01 08:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", track.LastTime()), "2026-06-01 09:30");
  EXPECT_EQ(track.TimeLength(), 5400);

  points.SetYearEra(YearEra::Recorded());
  EXPECT_EQ(FormatDateTime("yyyy", track.StartTime()), "2010");
  EXPECT_EQ(track.Points()[0], first); // the same records, read anew
  EXPECT_EQ(points.Era().Type(), YearEra::Kind::Recorded);
  points.SetYearEra(YearEra::FromFirstYear(2024));
  EXPECT_EQ(FormatDateTime("yyyy", track.StartTime()), "2026");
  // The bytes never change with the era.
  EXPECT_EQ(first->YM(), 0xA6);
}

} // namespace
} // namespace tarnwick
