#include "analysis/graph_reduce.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tarnwick {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Appends a break unless the line already ends in one or has not started.
void AddBreak(GraphLine& Line) {
  if (!Line.Y.empty() && !std::isnan(Line.Y.back())) {
    Line.X.push_back(Line.X.back());
    Line.Y.push_back(kNaN);
  }
}

} // namespace

GraphLine ReduceToColumns(const std::vector<double>& X, const std::vector<double>& Y, double XFrom,
                          double XTo, int Columns) {
  GraphLine line;
  const size_t count = std::min(X.size(), Y.size());
  if (count == 0 || Columns <= 0 || !(XTo > XFrom)) {
    return line;
  }
  const auto xEnd = X.begin() + static_cast<std::ptrdiff_t>(count);
  // The visible points and one neighbour on each side.
  size_t first = static_cast<size_t>(std::lower_bound(X.begin(), xEnd, XFrom) - X.begin());
  size_t last = static_cast<size_t>(std::upper_bound(X.begin(), xEnd, XTo) - X.begin());
  first = first > 0 ? first - 1 : 0;
  last = std::min(last + 1, count);
  if (first >= last) {
    return line;
  }
  if (last - first <= static_cast<size_t>(Columns) * 2) {
    line.X.assign(X.begin() + static_cast<std::ptrdiff_t>(first),
                  X.begin() + static_cast<std::ptrdiff_t>(last));
    line.Y.assign(Y.begin() + static_cast<std::ptrdiff_t>(first),
                  Y.begin() + static_cast<std::ptrdiff_t>(last));
    return line;
  }
  line.X.reserve(static_cast<size_t>(Columns) * 2 + 4);
  line.Y.reserve(static_cast<size_t>(Columns) * 2 + 4);
  const double width = (XTo - XFrom) / Columns;
  // The neighbours outside the range are columns of their own.
  const auto columnOf = [&](double Value) -> long {
    if (Value < XFrom) {
      return -1;
    }
    if (Value > XTo) {
      return Columns + 1;
    }
    return std::min(static_cast<long>((Value - XFrom) / width), static_cast<long>(Columns) - 1);
  };
  size_t i = first;
  while (i < last) {
    const long column = columnOf(X[i]);
    size_t lo = last;
    size_t hi = last;
    size_t firstValue = last;
    size_t lastValue = last;
    for (; i < last && columnOf(X[i]) == column; ++i) {
      if (std::isnan(Y[i])) {
        continue;
      }
      if (lo == last || Y[i] < Y[lo]) {
        lo = i;
      }
      if (hi == last || Y[i] > Y[hi]) {
        hi = i;
      }
      firstValue = firstValue == last ? i : firstValue;
      lastValue = i;
    }
    if (lo == last) {
      AddBreak(line);
      continue;
    }
    // The line starts and ends where the data does, not at a column's extreme.
    std::array<size_t, 4> keep = {std::min(lo, hi), std::max(lo, hi), last, last};
    if (line.X.empty()) {
      keep[2] = firstValue;
    }
    if (i == last) {
      keep[3] = lastValue;
    }
    std::sort(keep.begin(), keep.end());
    for (size_t k = 0; k < keep.size() && keep[k] != last; ++k) {
      if (k == 0 || keep[k] != keep[k - 1]) {
        line.X.push_back(X[keep[k]]);
        line.Y.push_back(Y[keep[k]]);
      }
    }
  }
  return line;
}

} // namespace tarnwick
