#pragma once

#include "present/string_grid_helper.hpp"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

/// Every data item of Table in written order: 0 .. DataCount - 1.
std::vector<int> AllItems(const TStringGridHelper& Table);

/// A table as text: the header line, then one line per item of Items in the order given, the
/// cells separated by tabs, control characters escaped so that a cell cannot break its line
/// or reach a terminal raw, each line ended by "\n". Sink gets one line at a time.
void WriteTableLines(const TStringGridHelper& Table, std::span<const int> Items,
                     const std::function<void(const std::string& Line)>& Sink);

/// The same lines as one text.
std::string TableText(const TStringGridHelper& Table, std::span<const int> Items);

} // namespace tarnwick
