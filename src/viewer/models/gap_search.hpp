#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tarnwick::viewer {

/// The gap that skip-to-gap stops at: five minutes between two records.
inline constexpr int64_t kGapMilliseconds = int64_t{5} * 60 * 1000;

/// The first row after Selected (-1: none selected) whose record follows the one before it
/// (among the rows after Selected) by kGapMilliseconds or more, either way; -1 when there is
/// none. TimeOf gives a row's time in milliseconds, or nothing for a record whose time cannot
/// be decoded, which is passed over. The gap between the selected row and the next is not
/// examined, so that a second search moves on past a gap just found.
int NextGapRow(int Rows, int Selected,
               const std::function<std::optional<int64_t>(int Row)>& TimeOf);

} // namespace tarnwick::viewer
