#include "analysis/graph_reduce.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tarnwick {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// X = 0, 1, 2, ... and Y from Value(i).
template <class ValueFn>
void Ramp(size_t Count, std::vector<double>& X, std::vector<double>& Y, ValueFn Value) {
  X.resize(Count);
  Y.resize(Count);
  for (size_t i = 0; i < Count; ++i) {
    X[i] = static_cast<double>(i);
    Y[i] = Value(i);
  }
}

size_t Breaks(const GraphLine& Line) {
  return static_cast<size_t>(
      std::count_if(Line.Y.begin(), Line.Y.end(), [](double V) { return std::isnan(V); }));
}

TEST(GraphReduce, FullMemoryKeepsEveryPeakWithinTwoPointsPerColumn) {
  std::vector<double> x;
  std::vector<double> y;
  Ramp(65535, x, y, [](size_t i) { return 100.0 + static_cast<double>(i % 50) * 0.1; });
  y[12345] = 900;  // a one-point spike
  y[54321] = -400; // and a one-point dip
  const GraphLine line = ReduceToColumns(x, y, 0, 65534, 800);

  EXPECT_LE(line.Size(), 2U * 800 + 2);
  EXPECT_EQ(*std::max_element(line.Y.begin(), line.Y.end()), 900);
  EXPECT_EQ(*std::min_element(line.Y.begin(), line.Y.end()), -400);
  EXPECT_TRUE(std::is_sorted(line.X.begin(), line.X.end()));
  EXPECT_EQ(line.X.front(), 0);
  EXPECT_EQ(line.X.back(), 65534);
  EXPECT_EQ(Breaks(line), 0U);
}

TEST(GraphReduce, EachColumnDrawsItsExtremesInTheOrderTheyCame) {
  // Falling in the first half of each 100-point column, then rising: the maximum comes first
  // in a column that starts high.
  std::vector<double> x;
  std::vector<double> y;
  Ramp(1000, x, y, [](size_t i) { return std::abs(static_cast<double>(i % 100) - 50.0); });
  const GraphLine line = ReduceToColumns(x, y, 0, 1000, 10);
  ASSERT_GE(line.Size(), 4U);
  // Column 0 holds 0..99: the highest (50 at x 0) before the lowest (0 at x 50).
  EXPECT_EQ(line.X[0], 0);
  EXPECT_EQ(line.Y[0], 50);
  EXPECT_EQ(line.X[1], 50);
  EXPECT_EQ(line.Y[1], 0);
  // A flat column gives a single point; the last column adds the line's last point.
  std::vector<double> flat(1000, 7.0);
  const GraphLine level = ReduceToColumns(x, flat, 0, 1000, 10);
  EXPECT_EQ(level.Size(), 11U);
  EXPECT_EQ(level.X.back(), 999);
}

TEST(GraphReduce, ZoomedInKeepsOneNeighbourOnEachSide) {
  std::vector<double> x;
  std::vector<double> y;
  Ramp(65535, x, y, [](size_t i) { return static_cast<double>(i); });
  // 100.5 .. 199.5 shows points 101..199; 100 and 200 carry the line to the edges.
  const GraphLine few = ReduceToColumns(x, y, 100.5, 199.5, 400);
  ASSERT_EQ(few.Size(), 101U);
  EXPECT_EQ(few.X.front(), 100);
  EXPECT_EQ(few.X.back(), 200);
  // Reduced, the neighbours stay as well.
  const GraphLine many = ReduceToColumns(x, y, 1000.5, 30000.5, 50);
  EXPECT_EQ(many.X.front(), 1000);
  EXPECT_EQ(many.X.back(), 30001);
  EXPECT_LE(many.Size(), 2U * 50 + 4);
  // A range beyond the line shows its last point only as the neighbour.
  EXPECT_EQ(ReduceToColumns(x, y, 70000, 80000, 50).Size(), 1U);
}

TEST(GraphReduce, GapsWiderThanAPixelStayGaps) {
  std::vector<double> x;
  std::vector<double> y;
  Ramp(10000, x, y, [](size_t) { return 5.0; });
  // Points 4000..5999 have no value: 20 of 100 columns. One lone missing point is drawn
  // through.
  std::fill(y.begin() + 4000, y.begin() + 6000, kNaN);
  y[8000] = kNaN;
  const GraphLine line = ReduceToColumns(x, y, 0, 10000, 100);
  EXPECT_EQ(Breaks(line), 1U);
  const auto gap =
      std::find_if(line.Y.begin(), line.Y.end(), [](double V) { return std::isnan(V); });
  const auto at = static_cast<size_t>(gap - line.Y.begin());
  ASSERT_GT(at, 0U);
  ASSERT_LT(at + 1, line.Size());
  EXPECT_LT(line.X[at - 1], 4000);
  EXPECT_GE(line.X[at + 1], 6000);

  // Unreduced, the missing values are handed on as they are.
  std::vector<double> shortY = {1, kNaN, 3};
  std::vector<double> shortX = {0, 1, 2};
  const GraphLine raw = ReduceToColumns(shortX, shortY, 0, 2, 100);
  ASSERT_EQ(raw.Size(), 3U);
  EXPECT_TRUE(std::isnan(raw.Y[1]));

  // A line with no value at all draws nothing.
  std::vector<double> none(10000, kNaN);
  EXPECT_EQ(ReduceToColumns(x, none, 0, 10000, 100).Size(), 0U);
}

TEST(GraphReduce, NothingToDraw) {
  const std::vector<double> x = {0, 1, 2};
  const std::vector<double> y = {1, 2, 3};
  EXPECT_EQ(ReduceToColumns({}, {}, 0, 1, 100).Size(), 0U);
  EXPECT_EQ(ReduceToColumns(x, y, 0, 2, 0).Size(), 0U);
  EXPECT_EQ(ReduceToColumns(x, y, 2, 2, 100).Size(), 0U);
  EXPECT_EQ(ReduceToColumns(x, y, 2, 0, 100).Size(), 0U);
  // Columns of unequal length: only the points both have.
  EXPECT_EQ(ReduceToColumns(x, {1, 2}, 0, 2, 100).Size(), 2U);
}

} // namespace
} // namespace tarnwick
