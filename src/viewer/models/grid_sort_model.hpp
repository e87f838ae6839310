#pragma once

#include "present/cell_sort_key.hpp"

#include <QSortFilterProxyModel>

#include <vector>

namespace tarnwick::viewer {

class GridModel;

/// The rows of a grid in the order of one column's values (the presenter's sort keys), or in
/// the written order. Its source is the grid's model or a proxy over it (a filter); rows are
/// told apart by their data items, so the keys are computed once per item and column and
/// survive a change of the filter. Rows with equal keys keep the written order either way.
class GridSortModel : public QSortFilterProxyModel {
 public:
  /// Sorts the rows of Grid's presenter; the source model is set apart (setSourceModel).
  explicit GridSortModel(GridModel& Grid, QObject* Parent = nullptr);

  /// Column -1: the written order.
  void sort(int Column, Qt::SortOrder Order = Qt::AscendingOrder) override;

  /// The data item (the presenter's row) of Index, an index of this model or of any model
  /// between it and the grid's model; -1 for none.
  int ItemOf(const QModelIndex& Index) const;
  /// The index of this model in column Col that shows data item Item; invalid when the item
  /// is not shown (filtered out, or out of range).
  QModelIndex IndexOfItem(int Item, int Col = 0) const;

 protected:
  bool lessThan(const QModelIndex& Left, const QModelIndex& Right) const override;

 private:
  const CellSortKey& KeyOf(const QModelIndex& SourceIndex) const;

  GridModel& grid_;
  // Sort keys of keysColumn_ by data item; empty until a sort needs them, emptied whenever
  // the presenter's data changes.
  mutable std::vector<CellSortKey> keys_;
  mutable int keysColumn_ = -1;
};

} // namespace tarnwick::viewer
