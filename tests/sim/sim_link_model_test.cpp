#include "sim/sim_link.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace tarnwick::sim {
namespace {

using std::chrono::microseconds;

std::vector<uint8_t> Counting(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

// 64 000 bytes/s: one 64-byte packet a millisecond.
SimLink OnePacketPerMs(int packet = 64) {
  return SimLink(SimLinkOptions{packet, 64'000, std::chrono::milliseconds(2)});
}

TEST(SimLinkModelTest, BytesArriveInWholePacketsAtTheRate) {
  SimLink link = OnePacketPerMs();
  EXPECT_EQ(link.Send(Counting(100), microseconds(1000)), microseconds(1563));
  EXPECT_EQ(link.FreeAt(), microseconds(2563));
  const struct {
    int64_t Now;
    size_t Available;
    std::optional<int64_t> Next;
  } cases[] = {
      {0, 0, 2000},     // nothing has left yet; the first packet is due after 1 ms
      {1999, 0, 2000},  // 63 bytes sent, the packet is not complete
      {2000, 64, 2563}, // first packet; the short last one when all 100 are through
      {2562, 64, 2563}, // 99 bytes sent
      {2563, 100, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Now);
    EXPECT_EQ(link.Available(microseconds(c.Now)), c.Available);
    const auto next = link.NextArrival(microseconds(c.Now));
    EXPECT_EQ(next.has_value(), c.Next.has_value());
    if (next && c.Next) {
      EXPECT_EQ(next->count(), *c.Next);
    }
  }
}

TEST(SimLinkModelTest, LaterPiecesQueueBehindEarlierOnesAndAreTakenInOrder) {
  SimLink link = OnePacketPerMs();
  link.Send(Counting(64), microseconds(0));
  link.Send(Counting(64, 64), microseconds(0)); // asks for 0, leaves when the link is free
  link.Send(Counting(10, 128), microseconds(5000));
  EXPECT_EQ(link.FreeAt(), microseconds(5157));
  EXPECT_EQ(link.Available(microseconds(1000)), 64U);
  EXPECT_EQ(link.Available(microseconds(1999)), 64U);
  EXPECT_EQ(link.Available(microseconds(2000)), 128U);
  EXPECT_EQ(link.NextArrival(microseconds(2000)), microseconds(5157));

  std::vector<uint8_t> got(200);
  EXPECT_EQ(link.Take(got.data(), 100, microseconds(2000)), 100U);
  EXPECT_EQ(link.Pending(), 38U);
  EXPECT_EQ(link.Available(microseconds(2000)), 28U);
  EXPECT_EQ(link.Take(got.data() + 100, 100, microseconds(6000)), 38U);
  got.resize(138);
  EXPECT_EQ(got, Counting(138));
  EXPECT_EQ(link.Pending(), 0U);
  EXPECT_FALSE(link.NextArrival(microseconds(6000)));
}

TEST(SimLinkModelTest, UnlimitedRateAndDegeneratePacketSize) {
  SimLink fast(SimLinkOptions{64, 0, {}});
  EXPECT_EQ(fast.Send(Counting(1000), microseconds(700)), microseconds(0));
  EXPECT_EQ(fast.Available(microseconds(699)), 0U);
  EXPECT_EQ(fast.NextArrival(microseconds(0)), microseconds(700));
  EXPECT_EQ(fast.Available(microseconds(700)), 1000U);

  // A packet size of 0 counts as single bytes rather than dividing by zero.
  SimLink bytewise = OnePacketPerMs(0);
  EXPECT_EQ(bytewise.Options().PacketSize, 1);
  bytewise.Send(Counting(64), microseconds(0));
  EXPECT_EQ(bytewise.Available(microseconds(500)), 32U);
  bytewise.Clear();
  EXPECT_EQ(bytewise.Available(microseconds(5000)), 0U);
  EXPECT_EQ(bytewise.Pending(), 0U);
}

} // namespace
} // namespace tarnwick::sim
