#include "present/table_text.hpp"

#include "support/str_util.hpp"

#include <numeric>

namespace tarnwick {

std::vector<int> AllItems(const TStringGridHelper& Table) {
  std::vector<int> items(static_cast<size_t>(Table.DataCount()));
  std::iota(items.begin(), items.end(), 0);
  return items;
}

void WriteTableLines(const TStringGridHelper& Table, std::span<const int> Items,
                     const std::function<void(const std::string& Line)>& Sink) {
  const int cols = Table.GetColCount();
  std::string line;
  const auto row = [&](int Row) {
    line.clear();
    for (int col = 0; col < cols; ++col) {
      if (col > 0) {
        line += '\t';
      }
      line += EscapeControls(Table.GetCellText(col, Row));
    }
    line += '\n';
    Sink(line);
  };
  row(0);
  for (int item : Items) {
    row(item + 1);
  }
}

std::string TableText(const TStringGridHelper& Table, std::span<const int> Items) {
  std::string text;
  WriteTableLines(Table, Items, [&text](const std::string& Line) { text += Line; });
  return text;
}

} // namespace tarnwick
