#include "viewer/models/gap_search.hpp"

#include <cstdlib>

namespace tarnwick::viewer {

int NextGapRow(int Rows, int Selected,
               const std::function<std::optional<int64_t>(int Row)>& TimeOf) {
  std::optional<int64_t> previous;
  for (int row = Selected + 1; row < Rows; ++row) {
    const auto time = TimeOf(row);
    if (!time) {
      continue;
    }
    if (previous && std::llabs(*time - *previous) >= kGapMilliseconds) {
      return row;
    }
    previous = time;
  }
  return -1;
}

} // namespace tarnwick::viewer
