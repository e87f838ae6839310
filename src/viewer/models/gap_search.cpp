#include "viewer/models/gap_search.hpp"

#include <cstdlib>

namespace tarnwick::viewer {

int NextGapItem(int Items, int Selected, const std::function<bool(int Item)>& Shown,
                const std::function<std::optional<int64_t>(int Item)>& TimeOf) {
  std::optional<int64_t> previous;
  for (int item = Selected + 1; item < Items; ++item) {
    if (!Shown(item)) {
      continue;
    }
    const auto time = TimeOf(item);
    if (!time) {
      continue;
    }
    if (previous && std::llabs(*time - *previous) >= kGapMilliseconds) {
      return item;
    }
    previous = time;
  }
  return -1;
}

int NextGapRow(int Rows, int Selected,
               const std::function<std::optional<int64_t>(int Row)>& TimeOf) {
  return NextGapItem(
      Rows, Selected, [](int) { return true; }, TimeOf);
}

} // namespace tarnwick::viewer
