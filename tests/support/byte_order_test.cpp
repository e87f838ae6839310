#include "support/byte_order.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace tarnwick {
namespace {

// Usable where the decoders need them at compile time.
constexpr std::array<uint8_t, 4> kSample{0x12, 0x34, 0x56, 0x78};
static_assert(GetBE16(kSample.data()) == 0x1234);
static_assert(GetLE32(kSample.data()) == 0x78563412);
static_assert([] {
  std::array<uint8_t, 4> b{};
  PutBE32(b.data(), 0xA1B2C3D4);
  return b[0] == 0xA1 && b[3] == 0xD4;
}());

// Bytes with the top bit set find a reader that widens through a signed type.
TEST(ByteOrderTest, ReadsEachWidthInEachOrder) {
  const std::array<uint8_t, 5> plain{0x12, 0x34, 0x56, 0x78, 0x9A};
  EXPECT_EQ(GetBE16(plain.data()), 0x1234);
  EXPECT_EQ(GetLE16(plain.data()), 0x3412);
  EXPECT_EQ(GetBE24(plain.data()), 0x123456u);
  EXPECT_EQ(GetBE32(plain.data()), 0x12345678u);
  EXPECT_EQ(GetLE32(plain.data()), 0x78563412u);
  EXPECT_EQ(GetBE32(plain.data() + 1), 0x3456789Au) << "no alignment needed";

  const std::array<uint8_t, 4> high{0xFF, 0x80, 0xFE, 0x81};
  EXPECT_EQ(GetBE16(high.data()), 0xFF80);
  EXPECT_EQ(GetLE16(high.data()), 0x80FF);
  EXPECT_EQ(GetBE24(high.data()), 0xFF80FEu);
  EXPECT_EQ(GetBE32(high.data()), 0xFF80FE81u);
  EXPECT_EQ(GetLE32(high.data()), 0x81FE80FFu);
  EXPECT_EQ(static_cast<int16_t>(GetBE16(high.data())), -128) << "a signed count reads back";
  EXPECT_EQ(static_cast<int32_t>(GetBE32(high.data())), -8323455);
}

struct RoundTrip {
  uint32_t Value;
  std::vector<uint8_t> BE16, LE16, BE24, BE32, LE32;
};

class ByteOrderRoundTrip : public testing::TestWithParam<RoundTrip> {};

// Each writer puts exactly its bytes, in its order, leaves its neighbours alone, and its reader
// gives the value back (cut to the width).
TEST_P(ByteOrderRoundTrip, WritesExactlyItsBytesAndReadsThemBack) {
  const RoundTrip& c = GetParam();
  const auto written = [](int Width, auto Put) {
    std::vector<uint8_t> b(Width + 2, 0xEE);
    Put(b.data() + 1);
    EXPECT_EQ(b.front(), 0xEE);
    EXPECT_EQ(b.back(), 0xEE);
    return std::vector<uint8_t>(b.begin() + 1, b.end() - 1);
  };
  const auto v16 = static_cast<uint16_t>(c.Value);
  EXPECT_EQ(written(2, [&](uint8_t* p) { PutBE16(p, v16); }), c.BE16);
  EXPECT_EQ(written(2, [&](uint8_t* p) { PutLE16(p, v16); }), c.LE16);
  EXPECT_EQ(written(3, [&](uint8_t* p) { PutBE24(p, c.Value); }), c.BE24);
  EXPECT_EQ(written(4, [&](uint8_t* p) { PutBE32(p, c.Value); }), c.BE32);
  EXPECT_EQ(written(4, [&](uint8_t* p) { PutLE32(p, c.Value); }), c.LE32);

  EXPECT_EQ(GetBE16(c.BE16.data()), v16);
  EXPECT_EQ(GetLE16(c.LE16.data()), v16);
  EXPECT_EQ(GetBE24(c.BE24.data()), c.Value & 0xFFFFFF) << "the top byte is dropped";
  EXPECT_EQ(GetBE32(c.BE32.data()), c.Value);
  EXPECT_EQ(GetLE32(c.LE32.data()), c.Value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ByteOrderRoundTrip,
    testing::Values(RoundTrip{0, {0, 0}, {0, 0}, {0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
                    RoundTrip{0x1000,
                              {0x10, 0x00},
                              {0x00, 0x10},
                              {0x00, 0x10, 0x00},
                              {0x00, 0x00, 0x10, 0x00},
                              {0x00, 0x10, 0x00, 0x00}},
                    RoundTrip{0x00008000,
                              {0x80, 0x00},
                              {0x00, 0x80},
                              {0x00, 0x80, 0x00},
                              {0x00, 0x00, 0x80, 0x00},
                              {0x00, 0x80, 0x00, 0x00}},
                    RoundTrip{0x01123456,
                              {0x34, 0x56},
                              {0x56, 0x34},
                              {0x12, 0x34, 0x56},
                              {0x01, 0x12, 0x34, 0x56},
                              {0x56, 0x34, 0x12, 0x01}},
                    RoundTrip{0xFFFFFFFF,
                              {0xFF, 0xFF},
                              {0xFF, 0xFF},
                              {0xFF, 0xFF, 0xFF},
                              {0xFF, 0xFF, 0xFF, 0xFF},
                              {0xFF, 0xFF, 0xFF, 0xFF}}));

// The span forms work at an offset into a record, as the encoders and the status records use
// them.
TEST(ByteOrderTest, SpanFormsWorkAtAnOffset) {
  std::array<uint8_t, 10> record{};
  PutBE16(record, 2, 0xBEEF);
  PutBE24(record, 4, 0xABCDEF);
  PutLE16(record, 7, 0x2710);
  EXPECT_EQ(record, (std::array<uint8_t, 10>{0, 0, 0xBE, 0xEF, 0xAB, 0xCD, 0xEF, 0x10, 0x27, 0}));
  EXPECT_EQ(GetBE16(record, 2), 0xBEEF);
  EXPECT_EQ(GetBE24(record, 4), 0xABCDEFu);
  EXPECT_EQ(GetLE16(record, 7), 0x2710);

  PutBE32(record, 0, 0x01020304);
  PutLE32(record, 4, 0x05060708);
  EXPECT_EQ(GetBE32(record, 0), 0x01020304u);
  EXPECT_EQ(GetLE32(record, 4), 0x05060708u);
  EXPECT_EQ(GetBE32(record, 4), 0x08070605u);
}

} // namespace
} // namespace tarnwick
