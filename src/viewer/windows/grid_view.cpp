#include "viewer/windows/grid_view.hpp"

#include "viewer/models/grid_model.hpp"

#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyleOptionHeader>

#include <algorithm>
#include <map>

namespace tarnwick::viewer {

namespace {

// Room around a text in a cell: the style's margins and a little air.
constexpr int kCellPadding = 16;

// Typical cells of the columns whose width a caption alone does not settle: the widest
// texts these columns show for plausible data.
QString TypicalCell(const QString& Caption, int Columns) {
  static const std::map<QString, QString> samples{
      {"Time", "2015-06-07 12:34:56"},
      {"Lat:Lng", "-35.1234 -139.1234"},
      {"TimeLen", "101:02:03.000"},
      {"Elev", "-1234.56"},
      {"EHPE", "1234.56"},
      {"PressElev", "-1234.56"},
      {"Speeds", "123.45"},
      {"Course", "359.99"},
      {"SatMap", "(12) 00000000000000000000000000000000"},
      {"SMS", "59999:59999"},
      {"Count", "65535"},
      {"WayPoints", "65535"},
      {"HR", "65535"},
      {"Cadence", "65535"},
      {"Speed", "65535"},
      {"Flag", "FF"},
  };
  if (Caption == "Data") {
    // The raw records' 32 bytes, or the 24 integer samples: 96 characters either way.
    return QString("00 ").repeated(32);
  }
  if (Caption == "#") {
    return Columns == 8 ? "999" : "99999";
  }
  const auto it = samples.find(Caption);
  return it != samples.end() ? it->second : Caption;
}

} // namespace

GridView::GridView(const QString& Name, QWidget* Parent) : QTableView(Parent) {
  setObjectName(Name);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setHighlightSections(false);
  verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The corner above the row numbers carries their caption, painted like a header cell.
  setCornerButtonEnabled(false);
  if (auto* corner = findChild<QAbstractButton*>()) {
    corner->installEventFilter(this);
  }
}

bool GridView::eventFilter(QObject* Watched, QEvent* Event) {
  auto* corner = qobject_cast<QAbstractButton*>(Watched);
  if (corner != nullptr && Event->type() == QEvent::Paint && model_ != nullptr) {
    QPainter painter(corner);
    QStyleOptionHeader option;
    option.initFrom(corner);
    option.rect = corner->rect();
    option.text = model_->headerData(0, Qt::Horizontal).toString();
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::OnlyOneSection;
    style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
    return true;
  }
  return QTableView::eventFilter(Watched, Event);
}

int GridView::InitialWidth(int Col) const {
  const TDataViewFormHeader header = model_->Helper().GetHeader(Col);
  const QString caption = QString::fromStdString(header.Caption);
  const QFontMetrics& fm = fontMetrics();
  const int captionWidth = horizontalHeader()->fontMetrics().horizontalAdvance(caption);
  const int cellWidth = fm.horizontalAdvance(TypicalCell(caption, model_->columnCount()));
  return std::max({header.Width, captionWidth + kCellPadding, cellWidth + kCellPadding});
}

void GridView::SetGridModel(GridModel* Model, QAbstractItemModel* Shown) {
  model_ = Model;
  setModel(Shown != nullptr ? Shown : Model);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { emit CurrentItemChanged(CurrentItem()); });
  hideColumn(0);
  verticalHeader()->setMinimumWidth(InitialWidth(0));
  for (int col = 1; col < Model->columnCount(); ++col) {
    setColumnWidth(col, InitialWidth(col));
  }
}

int GridView::CurrentItem() const {
  const QModelIndex current = currentIndex();
  if (!current.isValid()) {
    return -1;
  }
  // Through every proxy down to the presenter's model.
  QModelIndex index = current;
  while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model())) {
    index = proxy->mapToSource(index);
  }
  return index.isValid() ? index.row() : -1;
}

QList<int> GridView::SelectedItems() const {
  QList<int> items;
  if (selectionModel() == nullptr) {
    return items;
  }
  for (QModelIndex index : selectionModel()->selectedRows()) {
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model())) {
      index = proxy->mapToSource(index);
    }
    if (index.isValid()) {
      items.append(index.row());
    }
  }
  std::sort(items.begin(), items.end());
  return items;
}

void GridView::SelectItem(int Item) {
  if (model_ == nullptr || Item < 0 || Item >= model_->rowCount()) {
    clearSelection();
    return;
  }
  // From the presenter's model up to the one shown.
  QModelIndex index = model_->index(Item, 1);
  QList<const QAbstractProxyModel*> chain;
  for (const QAbstractItemModel* m = model(); m != model_;) {
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(m);
    if (proxy == nullptr) {
      break;
    }
    chain.prepend(proxy);
    m = proxy->sourceModel();
  }
  for (const auto* proxy : chain) {
    index = proxy->mapFromSource(index);
  }
  if (!index.isValid()) {
    clearSelection();
    return;
  }
  SelectRow(index.row());
}

void GridView::AddContextAction(QAction* Action) {
  setContextMenuPolicy(Qt::ActionsContextMenu);
  addAction(Action);
}

int GridView::SelectedRow() const {
  const QModelIndexList rows =
      selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void GridView::SelectRow(int Row) {
  selectRow(Row);
  scrollTo(model()->index(Row, 1));
}

QList<int> GridView::ColumnWidths() const {
  QList<int> widths{verticalHeader()->width()};
  for (int col = 1; col < model()->columnCount(); ++col) {
    widths.append(columnWidth(col));
  }
  return widths;
}

void GridView::SetColumnWidths(const QList<int>& Widths) {
  if (model() == nullptr || Widths.size() != model()->columnCount()) {
    return;
  }
  verticalHeader()->setMinimumWidth(Widths[0]);
  for (int col = 1; col < Widths.size(); ++col) {
    if (Widths[col] > 0) {
      setColumnWidth(col, Widths[col]);
    }
  }
}

} // namespace tarnwick::viewer
