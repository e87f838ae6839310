#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tarnwick::viewer {

/// The gap that skip-to-gap stops at: five minutes between two records.
inline constexpr int64_t kGapMilliseconds = int64_t{5} * 60 * 1000;

/// Skip-to-gap over data items in the written order, whatever order a grid shows them in:
/// the first item after Selected (-1: none selected) among those Shown (those the grid's
/// filter lets through) whose record follows the shown one before it by kGapMilliseconds or
/// more, either way; -1 when there is none. TimeOf gives an item's time in milliseconds, or
/// nothing for a record whose time cannot be decoded, which is passed over. The gap between
/// the selected item and the next shown one is not examined, so that a second search moves on
/// past a gap just found.
int NextGapItem(int Items, int Selected, const std::function<bool(int Item)>& Shown,
                const std::function<std::optional<int64_t>(int Item)>& TimeOf);

/// The same over rows that are all shown, in the written order (a filter's rows).
int NextGapRow(int Rows, int Selected,
               const std::function<std::optional<int64_t>(int Row)>& TimeOf);

} // namespace tarnwick::viewer
