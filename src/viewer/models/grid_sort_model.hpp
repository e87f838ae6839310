#pragma once

#include "present/cell_sort_key.hpp"

#include <QSortFilterProxyModel>

#include <vector>

namespace tarnwick::viewer {

class GridModel;

/// The rows of a grid in the order of one column's values (the presenter's sort keys), or in
/// the written order. Its source is the grid's model or a proxy over it (a filter). Keys are
/// computed once per data item and column, and survive a change of the filter; rows with
/// equal keys keep the written order either way.
class GridSortModel : public QSortFilterProxyModel {
 public:
  /// Sorts the rows of Grid's presenter; the source model is set apart (setSourceModel).
  explicit GridSortModel(GridModel& Grid, QObject* Parent = nullptr);

  /// Column -1: the written order.
  void sort(int Column, Qt::SortOrder Order = Qt::AscendingOrder) override;
  /// Source must be the grid's model or a proxy over it, itself not re-sourced later.
  void setSourceModel(QAbstractItemModel* Source) override;

  /// The data item (the presenter's row) of Index, an index of this model or of any model
  /// between it and the grid's model; -1 for none.
  int ItemOf(const QModelIndex& Index) const;
  /// The index of this model in column Col that shows data item Item; invalid when the item
  /// is not shown (filtered out, or out of range).
  QModelIndex IndexOfItem(int Item, int Col = 0) const;

 protected:
  bool lessThan(const QModelIndex& Left, const QModelIndex& Right) const override;

 private:
  void PrepareKeys() const;

  GridModel& grid_;
  // The proxies from the source model down to the grid's model.
  std::vector<const QAbstractProxyModel*> chain_;
  // Sort keys of keysColumn_ by data item; emptied whenever the presenter's data changes.
  mutable std::vector<CellSortKey> keys_;
  mutable int keysColumn_ = -1;
  // The data item of each row of the source model, so that a sort compares rows without
  // mapping them through the proxies; emptied whenever the source's rows change.
  mutable std::vector<int> itemOfRow_;
};

} // namespace tarnwick::viewer
