#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

/// What a cell sorts by, so that a table sorts by value and not by the text it shows: numbers
/// compared in turn (a position by latitude, then longitude), or a text. A cell without a value
/// (no data, "---", a time that cannot be decoded) sorts before every other; numbers sort
/// before texts, so that a column mixing both still has one order.
class CellSortKey {
 public:
  /// No value.
  CellSortKey() = default;
  static CellSortKey Numbers(std::initializer_list<double> Values) {
    return CellSortKey(Kind::Numbers, std::vector<double>(Values), {});
  }
  static CellSortKey Numbers(std::vector<double> Values) {
    return CellSortKey(Kind::Numbers, std::move(Values), {});
  }
  static CellSortKey Text(std::string Value) {
    return CellSortKey(Kind::Text, {}, std::move(Value));
  }

  bool HasValue() const { return kind_ != Kind::None; }

  friend bool operator<(const CellSortKey& A, const CellSortKey& B) {
    if (A.kind_ != B.kind_) {
      return A.kind_ < B.kind_;
    }
    if (A.kind_ == Kind::Numbers) {
      return A.numbers_ < B.numbers_;
    }
    return A.text_ < B.text_;
  }
  friend bool operator==(const CellSortKey& A, const CellSortKey& B) = default;

 private:
  enum class Kind { None, Numbers, Text };
  CellSortKey(Kind K, std::vector<double> Numbers, std::string Text)
      : kind_(K), numbers_(std::move(Numbers)), text_(std::move(Text)) {}

  Kind kind_ = Kind::None;
  std::vector<double> numbers_;
  std::string text_;
};

} // namespace tarnwick
