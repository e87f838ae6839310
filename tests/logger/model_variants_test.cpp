#include "logger/point_list.hpp"
#include "logger/points_gt100.hpp"
#include "logger/points_gt800.hpp"
#include "support/errors.hpp"

#include "common/slots.hpp"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <typeindex>

namespace tarnwick {
namespace {

using test::Buffer;
using test::Slot;

RModelResult Model(uint8_t code) {
  return RModelResult{{0, 0, code}};
}

TEST(ModelVariants, GT100FlagBits) {
  struct Case {
    uint8_t Flags;
    bool Way, Start, Debug, Stop, Rtc, Timeout;
  };
  for (const Case c : {Case{0x44, true, true, false, false, false, false},
                       Case{0x20, false, false, false, true, false, false},
                       Case{0xC4, true, true, true, false, false, false},
                       Case{0x03, false, false, false, false, true, true},
                       Case{0xF4, false, false, false, false, false, false},
                       Case{0xFF, false, false, false, false, false, false}}) {
    const TIGotUTrackPoint100 p(Slot{}.Flags(c.Flags).Ptr());
    EXPECT_EQ(p.IsWayPoint(), c.Way) << std::hex << int(c.Flags);
    EXPECT_EQ(p.IsTrackStart(), c.Start) << std::hex << int(c.Flags);
    EXPECT_EQ(p.FlagIsDebugMode(), c.Debug) << std::hex << int(c.Flags);
    EXPECT_EQ(p.FlagIsTrackStop(), c.Stop) << std::hex << int(c.Flags);
    EXPECT_EQ(p.FlagIsRTCCalibration(), c.Rtc) << std::hex << int(c.Flags);
    EXPECT_EQ(p.FlagIsTimeOut(), c.Timeout) << std::hex << int(c.Flags);
  }
}

TEST(ModelVariants, GT100SatellitesAndBytes) {
  const TIGotUTrackPoint100 p(Slot{}
                                  .DWord(8, 0x80000001)
                                  .Byte(28, 0)
                                  .Byte(29, 0x0A)
                                  .Byte(30, 3)
                                  .Byte(31, 9)
                                  .Word(24, 150)
                                  .Word(26, 27000)
                                  .Ptr());
  EXPECT_TRUE(p.HasSatelliteMap());
  EXPECT_FALSE(p.HasPressureElevation());
  EXPECT_EQ(p.SatelliteMap(), 0x80000001U);
  EXPECT_EQ(p.SatelliteCount(), 2);
  EXPECT_EQ(TIGotUTrackPoint100(Slot{}.DWord(8, 0xFFFFFFFF).Ptr()).SatelliteCount(), 32);
  EXPECT_EQ(p.PressureElevation(), 0);
  EXPECT_EQ(p.DebugString('.'),
            "0.0000:0.0000 0.00 Spd=1.50 Crs=270.00 TO=0 SC=$0A Weight=3 QSN=9");
}

TEST(ModelVariants, GT800PressureAndNoTrackStart) {
  const TIGotUTrackPoint800 p(
      Slot{}.Flags(0x44).SMS(1500).DWord(8, static_cast<uint32_t>(-1234)).Word(30, 700).Ptr());
  EXPECT_TRUE(p.IsWayPoint());
  EXPECT_FALSE(p.IsTrackStart());
  EXPECT_FALSE(TIGotUTrackPoint800(Slot{}.Flags(0x40).Ptr()).IsTrackStart());
  EXPECT_FALSE(TIGotUTrackPoint800(Slot{}.Flags(0xF4).Ptr()).IsWayPoint());
  EXPECT_TRUE(p.HasPressureElevation());
  EXPECT_FALSE(p.HasSatelliteMap());
  EXPECT_DOUBLE_EQ(p.PressureElevation(), -12.34);
  EXPECT_EQ(p.SatelliteCount(), 0);
  EXPECT_EQ(p.DebugString('.'), "0.0000:0.0000 0.00 PE=-12.34 Spd=0.00 Crs=0.00 SMS=1500 PSMS=700");
}

TEST(ModelVariants, ListFamilyFollowsTheModelCode) {
  for (uint8_t code : {0x13, 0x14, 0x15, 0x16, 0x00}) {
    auto list = TIGotUPointList::CreatePoints(Model(code));
    EXPECT_EQ(dynamic_cast<TIGotUPointList800*>(list.get()), nullptr) << int(code);
  }
  EXPECT_NE(dynamic_cast<TIGotUPointList800*>(TIGotUPointList::CreatePoints(Model(0x17)).get()),
            nullptr);
}

TEST(ModelVariants, RecordClassPerFlagByte) {
  const auto bytes = Buffer({Slot{}.Flags(0xF1), Slot{}.Flags(0xF5), Slot{}.Flags(0xF6),
                             Slot{}.Flags(0xF7), Slot{}.Flags(0x00), Slot{}.Flags(0xFF)});
  auto gt900 = TIGotUPointList::CreatePoints(Model(0x17));
  gt900->AddPointsFromData(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_EQ(gt900->Count(), 6);
  EXPECT_NE(dynamic_cast<const TIGotULogMsgPoint*>(&(*gt900)[0]), nullptr);
  EXPECT_NE(dynamic_cast<const TIGotUExtIntPoint*>(&(*gt900)[1]), nullptr);
  EXPECT_NE(dynamic_cast<const TIGotUExtIntPoint*>(&(*gt900)[2]), nullptr);
  EXPECT_NE(dynamic_cast<const TIGotUExtDoublePoint*>(&(*gt900)[3]), nullptr);
  EXPECT_NE(dynamic_cast<const TIGotUTrackPoint800*>(&(*gt900)[4]), nullptr);
  EXPECT_NE(dynamic_cast<const TIGotUTrackPoint800*>(&(*gt900)[5]), nullptr);

  auto gt120 = TIGotUPointList::CreatePoints(Model(0x15));
  gt120->AddPointsFromData(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_EQ(gt120->Count(), 6);
  EXPECT_NE(dynamic_cast<const TIGotULogMsgPoint*>(&(*gt120)[0]), nullptr);
  for (int i = 1; i < 6; ++i) {
    EXPECT_NE(dynamic_cast<const TIGotUTrackPoint100*>(&(*gt120)[i]), nullptr) << i;
  }
}

TEST(ModelVariants, OnlyCompleteSlotsAreAdded) {
  std::vector<uint8_t> bytes(100, 0);
  bytes[64] = 0xF1;
  TIGotUPointList list;
  list.AddPointsFromData(bytes.data(), 100);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(list[2].AsLogMsgPoint() != nullptr);
  list.AddPointsFromData(bytes.data(), 31);
  EXPECT_EQ(list.Count(), 3);
  list.AddPointsFromData(bytes.data(), 0);
  list.AddPointsFromData(nullptr, -5);
  EXPECT_EQ(list.Count(), 3);
  // New records go after the old ones.
  list.AddPointsFromData(bytes.data() + 64, 32);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_TRUE(list[3].AsLogMsgPoint() != nullptr);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_THROW(list.Items(3), ListError);
  EXPECT_THROW(list.Delete(-1), ListError);
}

// The lists make their records in an arena; each must be the record that a plain allocation of
// its class makes from the same slot, with no two sharing memory, across many chunks.
TEST(ModelVariants, ListRecordsMatchPlainlyAllocatedOnes) {
  using Make = std::function<std::unique_ptr<TIGotUPointBase>(const uint8_t*)>;
  const auto make = [](auto* Tag) -> Make {
    using T = std::remove_pointer_t<decltype(Tag)>;
    return [](const uint8_t* Ptr) { return std::make_unique<T>(Ptr); };
  };
  const std::map<std::type_index, Make> plain = {
      {typeid(TIGotUTrackPoint100), make(static_cast<TIGotUTrackPoint100*>(nullptr))},
      {typeid(TIGotUTrackPoint800), make(static_cast<TIGotUTrackPoint800*>(nullptr))},
      {typeid(TIGotULogMsgPoint), make(static_cast<TIGotULogMsgPoint*>(nullptr))},
      {typeid(TIGotUExtIntPoint), make(static_cast<TIGotUExtIntPoint*>(nullptr))},
      {typeid(TIGotUExtDoublePoint), make(static_cast<TIGotUExtDoublePoint*>(nullptr))}};
  const auto text = [](const TIGotUPointBase& P) {
    try {
      return P.DebugString('.');
    } catch (const Error& e) {
      return std::string("error: ") + e.what();
    }
  };

  constexpr int kSlots = 70000; // more than a full memory, so several chunks
  std::vector<uint8_t> bytes(static_cast<size_t>(kSlots) * kSlotSize);
  uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (size_t i = 0; i < bytes.size(); ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    bytes[i] = static_cast<uint8_t>(x);
  }
  for (int i = 0; i < kSlots; i += 3) {
    static constexpr uint8_t kFlags[] = {0xF1, 0xF5, 0xF6, 0xF7, 0x00, 0x44};
    bytes[static_cast<size_t>(i) * kSlotSize] = kFlags[static_cast<size_t>(i / 3) % 6];
  }
  for (const uint8_t code : {0x15, 0x17}) {
    auto list = TIGotUPointList::CreatePoints(Model(code));
    list->AddPointsFromData(bytes.data(), static_cast<int>(bytes.size() / 2));
    list->AddPointsFromData(bytes.data() + bytes.size() / 2, static_cast<int>(bytes.size() / 2));
    ASSERT_EQ(list->Count(), kSlots);
    std::map<const void*, size_t> spans;
    for (int i = 0; i < kSlots; ++i) {
      const TIGotUPointBase& got = (*list)[i];
      const uint8_t* slot = bytes.data() + static_cast<size_t>(i) * kSlotSize;
      const auto maker = plain.find(typeid(got));
      ASSERT_NE(maker, plain.end()) << i;
      const auto want = maker->second(slot);
      ASSERT_EQ(std::memcmp(got.PRawData(), slot, kSlotSize), 0) << i;
      ASSERT_EQ(got.IsValidRecord(), want->IsValidRecord()) << i;
      ASSERT_EQ(got.IsTrackStart(), want->IsTrackStart()) << i;
      ASSERT_EQ(text(got), text(*want)) << i;
      spans.emplace(&got, sizeof(TIGotUPointBase));
    }
    ASSERT_EQ(spans.size(), static_cast<size_t>(kSlots));
    for (auto it = spans.begin(); std::next(it) != spans.end(); ++it) {
      ASSERT_GE(static_cast<const char*>(std::next(it)->first),
                static_cast<const char*>(it->first) + it->second);
    }
  }
}

} // namespace
} // namespace tarnwick
