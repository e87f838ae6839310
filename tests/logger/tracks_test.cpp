#include "logger/tracks.hpp"
#include "support/errors.hpp"

#include "common/slots.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Fix;
using test::Reset;
using test::Slot;

// Decodes the slots as an image of the given model code.
TIGotUPoints Decode(uint8_t model, const std::vector<RIGotUPointSlot>& slots) {
  return TIGotUPoints(RModelResult{{0, 0, model}}, test::BlocksOf(slots).get());
}

std::vector<size_t> Sizes(const TIGotUPoints& p) {
  std::vector<size_t> s;
  for (int i = 0; i < p.Tracks().Count(); ++i) {
    s.push_back(p.Tracks()[i].Points().size());
  }
  return s;
}

constexpr uint8_t kGT120 = 0x15;
constexpr uint8_t kGT900 = 0x17;

TEST(Tracks, EmptyImagesAndImagesWithoutBlocks) {
  const TIGotUPoints none(RModelResult{{0, 0, kGT900}}, nullptr);
  EXPECT_EQ(none.Points().Count(), 0);
  EXPECT_EQ(none.Tracks().Count(), 0);
  EXPECT_EQ(none.DebugPoints().Count(), 0);
  TIGotUSlotBlocks empty(0, 32);
  EXPECT_EQ(empty.NumberOfBlocks(), 0);
  const TIGotUPoints zero(RModelResult{{0, 0, kGT120}}, &empty);
  EXPECT_EQ(zero.Tracks().Count(), 0);
}

TEST(Tracks, GT100StartFlagCuts) {
  const auto p = Decode(kGT120, {Fix(0x40, 6, 0, 0), Fix(0, 6, 0, 1), Fix(0, 6, 0, 2),
                                 Fix(0x40, 6, 0, 3), Fix(0, 6, 0, 4)});
  EXPECT_EQ(Sizes(p), (std::vector<size_t>{3, 2}));
  // The very first start flag opens no extra track.
  EXPECT_EQ(p.Tracks()[0].Points()[0], p.Points()[0].AsTrackPoint());
}

TEST(Tracks, InvalidStartMarkerStillCutsButIsNotKept) {
  // Way point and start flags at exactly 0, 0: cuts, but belongs to neither list.
  const auto p = Decode(kGT120, {Fix(0, 6, 0, 0), Slot{}.Flags(0x44).At(6, 0, 1), Fix(0, 6, 0, 2)});
  EXPECT_EQ(Sizes(p), (std::vector<size_t>{1, 1}));
  EXPECT_EQ(p.Tracks()[0].CountWayPoints(), 0);
  EXPECT_EQ(p.Tracks()[1].CountWayPoints(), 0);
}

TEST(Tracks, WayPointsAreTrackPointsToo) {
  const auto p = Decode(kGT120, {Fix(0x44, 6, 0, 0), Fix(0x04, 6, 0, 1), Fix(0, 6, 0, 2)});
  ASSERT_EQ(p.Tracks().Count(), 1);
  const auto& t = p.Tracks()[0];
  EXPECT_EQ(t.Points().size(), 3U);
  ASSERT_EQ(t.WayPoints().size(), 2U);
  EXPECT_EQ(t.WayPoints()[1], t.Points()[1]);
  EXPECT_EQ(t.CountWayPoints(), 2);
}

TEST(Tracks, ResetCounterCutsOnceAndExtensionsJoinTheCurrentTrack) {
  // Heart rate, two points, a reset, then cadence: the trailing track holds only the cadence
  // record, so it is dropped and the cadence record belongs to no track.
  const auto p = Decode(kGT900, {Slot{}.Flags(0xF5).At(6, 0, 0), Fix(0, 6, 0, 1), Fix(0, 6, 0, 2),
                                 Reset(6, 0, 3), Slot{}.Flags(0xF6).At(6, 0, 4)});
  ASSERT_EQ(p.Tracks().Count(), 1);
  EXPECT_EQ(p.Tracks()[0].Points().size(), 2U);
  EXPECT_EQ(p.Tracks()[0].HR().size(), 1U);
  EXPECT_EQ(p.Tracks()[0].Cadence().size(), 0U);
  EXPECT_EQ(p.DebugPoints().Count(), 1);

  const auto twice = Decode(kGT900, {Fix(0, 6, 0, 0), Reset(6, 0, 1), Reset(6, 0, 2),
                                     Fix(0, 6, 0, 3), Slot{}.Flags(0xF7).At(6, 0, 4)});
  EXPECT_EQ(Sizes(twice), (std::vector<size_t>{1, 1}));
  EXPECT_EQ(twice.Tracks()[1].Speed().size(), 1U);
}

TEST(Tracks, FamilyDecidesWhatCuts) {
  // GT-900 points never start tracks; a GT-120 image treats 0xF5 as a track point.
  const auto gt900 = Decode(kGT900, {Fix(0x40, 6, 0, 0), Fix(0x40, 6, 0, 1)});
  EXPECT_EQ(Sizes(gt900), (std::vector<size_t>{2}));
  const auto gt120 =
      Decode(kGT120, {Fix(0, 6, 0, 0), Fix(0xF5, 6, 0, 1), Reset(6, 0, 2), Fix(0, 6, 0, 3)});
  EXPECT_EQ(Sizes(gt120), (std::vector<size_t>{2, 1}));
  EXPECT_EQ(gt120.Tracks()[0].HR().size(), 0U);
}

TEST(Tracks, OnlyExtensionRecordsMakeNoTrack) {
  const auto p = Decode(kGT900, {Slot{}.Flags(0xF5).At(6, 0, 0), Slot{}.Flags(0xF7).At(6, 0, 1)});
  EXPECT_EQ(p.Tracks().Count(), 0);
  EXPECT_EQ(p.Points().Count(), 2);
}

TEST(Tracks, InvalidRecordsAreSkippedNotStopping) {
  const auto p = Decode(kGT120, {Fix(0, 6, 0, 0), Slot{}, Slot{}.Flags(0xFF), Fix(0, 6, 0, 3)});
  EXPECT_EQ(Sizes(p), (std::vector<size_t>{2}));
  EXPECT_EQ(p.Points().Count(), 4);
}

TEST(Tracks, LogMessagesAreAllListed) {
  const auto p = Decode(
      kGT120, {Slot{}.Flags(0xF1), Fix(0, 6, 0, 0), Reset(6, 0, 1), Slot{}.Flags(0xF1).Text("X")});
  EXPECT_EQ(p.DebugPoints().Count(), 3) << "an all-zero date is listed too";
  EXPECT_EQ(p.DebugPoints()[2].LogMessage(), "X");
}

TEST(Tracks, TimesAndLength) {
  const auto p = Decode(kGT120, {Slot{}.Flags(0).At(0, 0, 0, 400).Position(1, 1),
                                 Slot{}.Flags(0).At(0, 0, 10, 399).Position(1, 1)});
  const auto& t = p.Tracks()[0];
  EXPECT_EQ(t.TimeLength(), 9);
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", t.StartTime()), "00:00:00.400");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", t.LastTime()), "00:00:10.399");
  // Older last point: the length is still positive.
  const auto back = Decode(kGT120, {Fix(0, 7, 0, 0), Fix(0, 6, 0, 0)});
  EXPECT_EQ(back.Tracks()[0].TimeLength(), 3600);
  // A bad date raises only when asked.
  const auto bad = Decode(kGT120, {Slot{}.YM(0xDD).DHM(1 << 11).Position(1, 1)});
  EXPECT_THROW(bad.Tracks()[0].StartTime(), AssertionError);
  EXPECT_THROW(TIGotUTrack().StartTime(), ListError);
}

TEST(Tracks, EveryValidTrackPointIsInExactlyOneTrack) {
  std::vector<RIGotUPointSlot> slots;
  for (int i = 0; i < 300; ++i) {
    const uint8_t flags = (i % 37 == 0) ? 0x40 : (i % 11 == 0 ? 0x04 : 0);
    slots.push_back(i % 13 == 6 ? Slot{} : Fix(flags, 6, i / 60, i % 60));
  }
  const TIGotUPoints p = Decode(kGT120, slots);
  size_t inTracks = 0;
  for (int i = 0; i < p.Tracks().Count(); ++i) {
    EXPECT_FALSE(p.Tracks()[i].IsVoid());
    inTracks += p.Tracks()[i].Points().size();
  }
  size_t valid = 0;
  for (const auto& r : p.Points()) {
    valid += r->IsValidRecord() ? 1 : 0;
  }
  EXPECT_EQ(inTracks, valid);
  EXPECT_EQ(p.Tracks().Count(), 9);
}

} // namespace
} // namespace tarnwick
