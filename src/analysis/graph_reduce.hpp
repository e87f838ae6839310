#pragma once

#include <cstddef>
#include <vector>

namespace tarnwick {

/// A line as a graph draws it: points in ascending X; a NaN Y breaks the line.
struct GraphLine {
  std::vector<double> X;
  std::vector<double> Y;

  size_t Size() const { return X.size(); }
};

/// The part of the line (X ascending, Y NaN where there is no value) that a graph Columns
/// pixels wide shows between XFrom and XTo, with no more points than those pixels can show:
/// in each column the lowest and the highest value, in the order they come, so peaks and dips
/// stay visible however many points fall into a pixel; the first and last point with a value
/// are kept as well, and one point on either side of the range, so the line runs to the edges. A
/// column whose points all lack a value gives one NaN, so a gap at least a pixel wide stays a gap;
/// a shorter one is drawn through. With more columns than points, the points are returned as they
/// are (their gaps included).
GraphLine ReduceToColumns(const std::vector<double>& X, const std::vector<double>& Y, double XFrom,
                          double XTo, int Columns);

} // namespace tarnwick
