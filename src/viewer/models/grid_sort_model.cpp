#include "viewer/models/grid_sort_model.hpp"

#include "viewer/models/grid_model.hpp"

namespace tarnwick::viewer {

GridSortModel::GridSortModel(GridModel& Grid, QObject* Parent)
    : QSortFilterProxyModel(Parent), grid_(Grid) {
  // Before the change, so that the sort that follows it finds nothing stale: the presenter
  // has its new data before the model announces the reset.
  connect(&grid_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { keys_.clear(); });
}

void GridSortModel::sort(int Column, Qt::SortOrder Order) {
  if (Column != keysColumn_) {
    keys_.clear();
  }
  QSortFilterProxyModel::sort(Column, Order);
}

void GridSortModel::setSourceModel(QAbstractItemModel* Source) {
  if (sourceModel() != nullptr) {
    disconnect(sourceModel(), nullptr, this, nullptr);
  }
  chain_.clear();
  for (const QAbstractItemModel* m = Source; m != nullptr && m != &grid_;) {
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(m);
    if (proxy == nullptr) {
      break;
    }
    chain_.push_back(proxy);
    m = proxy->sourceModel();
  }
  QSortFilterProxyModel::setSourceModel(Source);
  if (Source != nullptr) {
    // Every change of the source's rows is announced before it is made, and sorting only
    // follows it.
    const auto forget = [this] { itemOfRow_.clear(); };
    connect(Source, &QAbstractItemModel::modelAboutToBeReset, this, forget);
    connect(Source, &QAbstractItemModel::layoutAboutToBeChanged, this, forget);
    connect(Source, &QAbstractItemModel::rowsAboutToBeInserted, this, forget);
    connect(Source, &QAbstractItemModel::rowsAboutToBeRemoved, this, forget);
    connect(Source, &QAbstractItemModel::rowsAboutToBeMoved, this, forget);
  }
}

int GridSortModel::ItemOf(const QModelIndex& Index) const {
  QModelIndex index = Index.model() == this ? mapToSource(Index) : Index;
  for (const QAbstractProxyModel* proxy : chain_) {
    if (index.model() == proxy) {
      index = proxy->mapToSource(index);
    }
  }
  return index.isValid() && index.model() == &grid_ ? index.row() : -1;
}

QModelIndex GridSortModel::IndexOfItem(int Item, int Col) const {
  if (Item < 0 || Item >= grid_.rowCount()) {
    return {};
  }
  // From the grid's model up through the proxies to this one.
  QModelIndex index = grid_.index(Item, Col);
  for (size_t i = chain_.size(); i-- > 0;) {
    index = chain_[i]->mapFromSource(index);
  }
  return mapFromSource(index);
}

void GridSortModel::PrepareKeys() const {
  // Called for every comparison: what is kept is used as it is, without asking the models.
  const int col = sortColumn();
  if (keysColumn_ != col || keys_.empty()) {
    const auto items = static_cast<size_t>(grid_.rowCount());
    keys_.clear();
    keys_.reserve(items);
    const TStringGridHelper& helper = grid_.Helper();
    for (size_t item = 0; item < items; ++item) {
      keys_.push_back(helper.GetSortKey(col, static_cast<int>(item)));
    }
    keysColumn_ = col;
  }
  if (itemOfRow_.empty()) {
    const QAbstractItemModel* source = sourceModel();
    const auto rows = static_cast<size_t>(source->rowCount());
    itemOfRow_.reserve(rows);
    for (size_t row = 0; row < rows; ++row) {
      const int item = ItemOf(source->index(static_cast<int>(row), 0));
      itemOfRow_.push_back(item >= 0 && static_cast<size_t>(item) < keys_.size() ? item : -1);
    }
  }
}

bool GridSortModel::lessThan(const QModelIndex& Left, const QModelIndex& Right) const {
  PrepareKeys();
  static const CellSortKey none;
  const auto key = [this](const QModelIndex& Index) -> const CellSortKey& {
    const auto row = static_cast<size_t>(Index.row());
    const int item = row < itemOfRow_.size() ? itemOfRow_[row] : -1;
    return item >= 0 && static_cast<size_t>(item) < keys_.size() ? keys_[static_cast<size_t>(item)]
                                                                 : none;
  };
  return key(Left) < key(Right);
}

} // namespace tarnwick::viewer
