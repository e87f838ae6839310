#include "logger/point_records.hpp"
#include "logger/points_gt100.hpp"
#include "support/errors.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Slot;

template <class T = TIGotUPointBase>
T Rec(const Slot& s) {
  return T(s.Ptr());
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(PointRecords, HeaderFieldsDecode) {
  // 2013-11-24 06:21:52.045 packed as the logger does.
  const auto p = Rec(Slot{}.Flags(0x1F).YM(0xDB).DHM(24 << 11 | 6 << 6 | 21).SMS(52045));
  EXPECT_EQ(p.Flags(), 0x1F);
  EXPECT_EQ(p.Year(), 2013);
  EXPECT_EQ(p.Month(), 11);
  EXPECT_EQ(p.Day(), 24);
  EXPECT_EQ(p.Hour(), 6);
  EXPECT_EQ(p.Minute(), 21);
  EXPECT_EQ(p.Second(), 52);
  EXPECT_EQ(p.MilliSecond(), 45);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", p.Time()), "2013-11-24 06:21:52.045");
  EXPECT_EQ(Rec(Slot{}.SMS(59999)).Second(), 59);
  EXPECT_EQ(Rec(Slot{}.SMS(59999)).MilliSecond(), 999);
}

TEST(PointRecords, BadDateFieldsNameValueAndRawField) {
  EXPECT_EQ(Rec(Slot{}.YM(0x3D)).Year(), 2003);
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.YM(0x3D)).Month(); }), "Invalid Month 13 in 3D");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.YM(0xD1)).Day(); }), "Invalid Day 0 in 0000");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.DHM(1 << 11 | 24 << 6)).Hour(); }), "Invalid Hour 24 in 0E00");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.DHM(60)).Minute(); }), "Invalid Minute 60 in 003C");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.SMS(60000)).Second(); }), "Invalid Second 60 in EA60");
  // Time reports the first failure in the order day, month, year, ms, second, minute, hour.
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.YM(0xDD).DHM(0).SMS(60000)).Time(); }),
            "Invalid Day 0 in 0000");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.YM(0xDD).DHM(1 << 11).SMS(60000)).Time(); }),
            "Invalid Month 13 in DD");
  EXPECT_EQ(ErrorOf([] { Rec(Slot{}.YM(0xD1).DHM(1 << 11 | 24 << 6 | 60).SMS(60000)).Time(); }),
            "Invalid Second 60 in EA60");
  // 30 February 2013 passes every field check but is no date.
  EXPECT_THROW(Rec(Slot{}.YM(0xD2).DHM(0xF380).SMS(0)).Time(), ConvertError);
}

TEST(PointRecords, Validity) {
  EXPECT_FALSE(Rec(Slot{}).IsValidRecord());
  EXPECT_TRUE(Rec(Slot{}.YM(1)).IsValidRecord());
  EXPECT_TRUE(Rec(Slot{}.DHM(1)).IsValidRecord());
  // A track point needs a position too; exactly 0, 0 is not one.
  EXPECT_FALSE(Rec<TIGotUTrackPoint100>(Slot{}.YM(0xDB)).IsValidRecord());
  EXPECT_TRUE(Rec<TIGotUTrackPoint100>(Slot{}.YM(0xDB).Position(1, 0)).IsValidRecord());
  EXPECT_TRUE(Rec<TIGotUTrackPoint100>(Slot{}.DHM(1).Position(0, -1)).IsValidRecord());
  EXPECT_FALSE(Rec<TIGotUTrackPoint100>(Slot{}.Position(5, 5)).IsValidRecord());
}

TEST(PointRecords, TrackPointValues) {
  const auto p = Rec<TIGotUTrackPoint100>(Slot{}
                                              .Word(6, 0xF1F4)       // EHPE 5.00, top bits ignored
                                              .DWord(12, 0xFFFFFFFF) // -0.0000001
                                              .DWord(16, 1397654321)
                                              .DWord(20, static_cast<uint32_t>(-350))
                                              .Word(24, 0xFFFF)
                                              .Word(26, 27050));
  EXPECT_DOUBLE_EQ(p.EHPE(), 5.0);
  EXPECT_DOUBLE_EQ(p.Latitude(), -0.0000001);
  EXPECT_DOUBLE_EQ(p.Longitude(), 139.7654321);
  EXPECT_DOUBLE_EQ(p.Elevation(), -3.5);
  EXPECT_DOUBLE_EQ(p.Speed(), 655.35);
  EXPECT_DOUBLE_EQ(p.Course(), 270.5);
  EXPECT_EQ(p.DebugString('.'),
            "-0.0000:139.7654 -3.50 Spd=655.35 Crs=270.50 TO=0 SC=$00 Weight=0 QSN=0");
  EXPECT_EQ(p.DebugString(','),
            "-0,0000:139,7654 -3,50 Spd=655,35 Crs=270,50 TO=0 SC=$00 Weight=0 QSN=0");
}

TEST(PointRecords, LogMessages) {
  const auto reset =
      Rec<TIGotULogMsgPoint>(Slot{}.Flags(0xF1).SMS(1234).Word(30, 999).Text("RESET COUNTER"));
  EXPECT_EQ(reset.LogMessage(), "RESET COUNTER");
  EXPECT_TRUE(reset.IsTrackStart());
  EXPECT_EQ(reset.DebugString('.'), "\"RESET COUNTER\" SMS=1234 PSMS=999");
  EXPECT_FALSE(Rec<TIGotULogMsgPoint>(Slot{}.Text("RESET COUNTER ")).IsTrackStart());
  EXPECT_FALSE(Rec<TIGotULogMsgPoint>(Slot{}.Text("reset counter")).IsTrackStart());

  const auto full =
      Rec<TIGotULogMsgPoint>(Slot{}.Text("ABCDEFGHIJKLMNOPQRSTUVWX").Word(30, 0x4142));
  EXPECT_EQ(full.LogMessage(), "ABCDEFGHIJKLMNOPQRSTUVWX") << "24 bytes, never the PrevSMS bytes";
  // Bytes above 0x7F come out as valid UTF-8 (Latin-1 reading).
  EXPECT_EQ(Rec<TIGotULogMsgPoint>(Slot{}.Byte(6, 0xE9).Byte(7, 'x')).LogMessage(), "\xC3\xA9x");
}

TEST(PointRecords, ExtensionRecords) {
  Slot hr = Slot{}.Flags(0xF5);
  for (int i = 0; i < 24; ++i) {
    hr.Byte(6 + i, static_cast<uint8_t>(100 + i));
  }
  const TIGotUExtIntPoint ip(hr.Ptr());
  EXPECT_EQ(ip.EptType(), TEptType::eptHR);
  EXPECT_EQ(ip.DataCount(), 24);
  EXPECT_EQ(ip.getIntValues(0), 100);
  EXPECT_EQ(ip.getIntValues(23), 123);
  EXPECT_THROW(ip.getIntValues(24), AssertionError);
  EXPECT_THROW(ip.getIntValues(-1), AssertionError);
  EXPECT_EQ(TIGotUExtIntPoint(Slot{}.Flags(0xF6).Ptr()).EptType(), TEptType::eptCadence);

  // Speed samples are the only little-endian numbers: 0x10 0x27 is 10000, i.e. 100.00.
  const TIGotUExtDoublePoint sp(Slot{}
                                    .Flags(0xF7)
                                    .Byte(6, 0x10)
                                    .Byte(7, 0x27)
                                    .Byte(28, 0xFF)
                                    .Byte(29, 0xFF)
                                    .Word(30, 77)
                                    .Ptr());
  EXPECT_EQ(sp.EptType(), TEptType::eptSpeed);
  EXPECT_EQ(sp.DataCount(), 12);
  EXPECT_DOUBLE_EQ(sp.getDoubleValues(0), 100.0);
  EXPECT_DOUBLE_EQ(sp.getDoubleValues(11), 655.35);
  EXPECT_EQ(sp.PrevSMS(), 77);
  EXPECT_THROW(sp.getDoubleValues(12), AssertionError);

  EXPECT_EQ(ErrorOf([] { TIGotUExtIntPoint(Slot{}.Flags(0x10).Ptr()).EptType(); }),
            "Unknown Flag Type for ExtPoint 10");
  EXPECT_EQ(ip.DebugString('.').size(), 26U * 3);
}

} // namespace
} // namespace tarnwick
