#include "viewer/models/grid_sort_model.hpp"

#include "viewer/models/grid_model.hpp"

namespace tarnwick::viewer {

GridSortModel::GridSortModel(GridModel& Grid, QObject* Parent)
    : QSortFilterProxyModel(Parent), grid_(Grid) {
  // The keys go before any proxy re-sorts the new rows: the presenter has its new data
  // before the model announces the reset.
  connect(&grid_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { keys_.clear(); });
}

void GridSortModel::sort(int Column, Qt::SortOrder Order) {
  if (Column != keysColumn_) {
    keys_.clear();
  }
  QSortFilterProxyModel::sort(Column, Order);
}

int GridSortModel::ItemOf(const QModelIndex& Index) const {
  QModelIndex index = Index;
  while (index.isValid() && index.model() != &grid_) {
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model());
    if (proxy == nullptr) {
      return -1;
    }
    index = proxy->mapToSource(index);
  }
  return index.isValid() ? index.row() : -1;
}

QModelIndex GridSortModel::IndexOfItem(int Item, int Col) const {
  if (Item < 0 || Item >= grid_.rowCount()) {
    return {};
  }
  // From the grid's model up through the proxies between it and this one.
  QList<const QAbstractProxyModel*> chain;
  for (const QAbstractItemModel* m = this; m != &grid_;) {
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(m);
    if (proxy == nullptr) {
      return {};
    }
    chain.prepend(proxy);
    m = proxy->sourceModel();
  }
  QModelIndex index = grid_.index(Item, Col);
  for (const auto* proxy : chain) {
    index = proxy->mapFromSource(index);
  }
  return index;
}

const CellSortKey& GridSortModel::KeyOf(const QModelIndex& SourceIndex) const {
  static const CellSortKey none;
  const int col = sortColumn();
  const auto count = static_cast<size_t>(grid_.rowCount());
  if (keysColumn_ != col || keys_.size() != count) {
    keys_.clear();
    keys_.reserve(count);
    const TStringGridHelper& helper = grid_.Helper();
    for (size_t item = 0; item < count; ++item) {
      keys_.push_back(helper.GetSortKey(col, static_cast<int>(item)));
    }
    keysColumn_ = col;
  }
  const int item = ItemOf(SourceIndex);
  return item >= 0 && static_cast<size_t>(item) < keys_.size() ? keys_[static_cast<size_t>(item)]
                                                               : none;
}

bool GridSortModel::lessThan(const QModelIndex& Left, const QModelIndex& Right) const {
  return KeyOf(Left) < KeyOf(Right);
}

} // namespace tarnwick::viewer
