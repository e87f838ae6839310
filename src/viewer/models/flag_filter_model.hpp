#pragma once

#include <QSortFilterProxyModel>

#include <functional>
#include <optional>

namespace tarnwick::viewer {

/// The raw records' grid filtered to the records with one flag byte, or all of them.
class FlagFilterModel : public QSortFilterProxyModel {
 public:
  /// FlagOf gives the flag byte of data row Row, or nothing for a row without a record.
  FlagFilterModel(std::function<std::optional<int>(int Row)> FlagOf, QObject* Parent = nullptr)
      : QSortFilterProxyModel(Parent), flagOf_(std::move(FlagOf)) {}

  /// Shows only the records whose flag byte is Flag; nothing shows them all.
  void SetFlag(std::optional<int> Flag) {
    flag_ = Flag;
    // One change of layout rather than a removal and an insertion for every run of rows:
    // records of different flags alternate, and each run would cost every model and view
    // above a pass over all rows.
    invalidate();
  }
  std::optional<int> Flag() const { return flag_; }

 protected:
  bool filterAcceptsRow(int Row, const QModelIndex& /*Parent*/) const override {
    if (!flag_) {
      return true;
    }
    const auto flag = flagOf_(Row);
    return flag && *flag == *flag_;
  }

 private:
  std::function<std::optional<int>(int)> flagOf_;
  std::optional<int> flag_;
};

} // namespace tarnwick::viewer
