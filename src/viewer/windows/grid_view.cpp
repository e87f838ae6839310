#include "viewer/windows/grid_view.hpp"

#include "present/table_text.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/models/grid_sort_model.hpp"
#include "viewer/windows/grid_header.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>

#include <algorithm>
#include <vector>

namespace tarnwick::viewer {

namespace {

// A little air beside a cell's text, on top of the style's margins, so that columns do not
// look crammed.
constexpr int kAir = 6;

} // namespace

GridView::GridView(const QString& Name, QWidget* Parent) : QTableView(Parent) {
  setObjectName(Name);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  auto* header = new GridHeader(this);
  setHorizontalHeader(header);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setHighlightSections(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  connect(header, &QHeaderView::sectionClicked, this, &GridView::HeaderClicked);
  connect(header, &QHeaderView::sectionResized, this,
          [this](int Col, int, int NewWidth) { ColumnResized(Col, NewWidth); });
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setHighlightSections(false);
  verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The corner above the row numbers carries their caption, painted like a header cell; a
  // click on it returns to the written order (instead of selecting every row, which Ctrl+A
  // does).
  setCornerButtonEnabled(true);
  if (auto* corner = findChild<QAbstractButton*>()) {
    corner->installEventFilter(this);
    QObject::disconnect(corner, nullptr, this, nullptr);
    connect(corner, &QAbstractButton::clicked, this,
            [this] { SortByColumn(-1, Qt::AscendingOrder); });
  }
  copy_ = new QAction("Copy", this);
  copy_->setObjectName("actCopy");
  copy_->setShortcut(QKeySequence::Copy);
  copy_->setShortcutContext(Qt::WidgetShortcut);
  connect(copy_, &QAction::triggered, this, &GridView::CopySelection);
  addAction(copy_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool GridView::eventFilter(QObject* Watched, QEvent* Event) {
  auto* corner = qobject_cast<QAbstractButton*>(Watched);
  if (corner != nullptr && Event->type() == QEvent::Paint && model_ != nullptr) {
    QPainter painter(corner);
    QStyleOptionHeader option;
    option.initFrom(corner);
    option.rect = corner->rect();
    option.state |= corner->isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    option.text = model_->headerData(0, Qt::Horizontal).toString();
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::OnlyOneSection;
    style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
    return true;
  }
  return QTableView::eventFilter(Watched, Event);
}

void GridView::keyPressEvent(QKeyEvent* Event) {
  if (Event->matches(QKeySequence::Copy)) {
    CopySelection();
    Event->accept();
    return;
  }
  QTableView::keyPressEvent(Event);
}

int GridView::InitialWidth(int Col) const {
  const TDataViewFormHeader header = model_->Helper().GetHeader(Col);
  const QString typical = QString::fromStdString(header.Typical);
  if (Col == 0) {
    // The vertical header: the numbers in the header's font, as wide as the caption at least.
    const QFontMetrics& fm = verticalHeader()->fontMetrics();
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int text = std::max(fm.horizontalAdvance(typical),
                              fm.horizontalAdvance(QString::fromStdString(header.Caption)));
    return text + margin + kAir;
  }
  const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const int cell = fontMetrics().horizontalAdvance(typical) + margin + kAir;
  // The caption with the header's margins.
  const bool hidden = horizontalHeader()->isSectionHidden(Col);
  const int caption = hidden ? 0 : horizontalHeader()->sectionSizeHint(Col);
  return std::max(cell, caption);
}

void GridView::SetGridModel(GridModel* Model, QAbstractItemModel* Shown) {
  model_ = Model;
  sort_ = new GridSortModel(*Model, this);
  sort_->setSourceModel(Shown != nullptr ? Shown : Model);
  setModel(sort_);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { emit CurrentItemChanged(CurrentItem()); });
  hideColumn(0);
  verticalHeader()->setMinimumWidth(InitialWidth(0));
  chosen_.clear();
  for (int col = 0; col < Model->columnCount(); ++col) {
    chosen_.append(col == 0 ? 0 : InitialWidth(col));
  }
  FitColumns();
  if (auto* corner = findChild<QAbstractButton*>()) {
    corner->setToolTip(QString::fromStdString(Model->Helper().GetHeader(0).Hint) +
                       "\nClick: back to this order");
  }
}

QModelIndex GridView::ShownIndex(const QModelIndex& ViewIndex) const {
  return sort_ != nullptr ? sort_->mapToSource(ViewIndex) : QModelIndex();
}

int GridView::CurrentItem() const {
  if (sort_ == nullptr) {
    return -1;
  }
  const int item = sort_->ItemOf(currentIndex());
  return item < model_->Helper().DataCount() ? item : -1;
}

QList<int> GridView::SelectedItemsAsShown() const {
  QList<int> items;
  if (sort_ == nullptr) {
    return items;
  }
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& A, const QModelIndex& B) { return A.row() < B.row(); });
  const int count = model_->Helper().DataCount();
  for (const QModelIndex& index : rows) {
    const int item = sort_->ItemOf(index);
    if (item >= 0 && item < count) {
      items.append(item);
    }
  }
  return items;
}

QList<int> GridView::SelectedItems() const {
  QList<int> items = SelectedItemsAsShown();
  std::sort(items.begin(), items.end());
  return items;
}

bool GridView::IsItemShown(int Item) const {
  return sort_ != nullptr && Item < model_->Helper().DataCount() &&
         sort_->IndexOfItem(Item).isValid();
}

void GridView::SelectItem(int Item) {
  const QModelIndex index = IsItemShown(Item) ? sort_->IndexOfItem(Item, 1) : QModelIndex();
  if (!index.isValid()) {
    clearSelection();
    return;
  }
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
  scrollTo(index);
}

void GridView::AddContextAction(QAction* Action) {
  addAction(Action);
}

int GridView::SelectedRow() const {
  if (sort_ == nullptr) {
    return -1;
  }
  const QModelIndex current = currentIndex();
  if (current.isValid() && selectionModel()->isRowSelected(current.row(), current.parent())) {
    return ShownIndex(current).row();
  }
  int first = -1;
  for (const QModelIndex& index : selectionModel()->selectedRows()) {
    const int row = ShownIndex(index).row();
    if (row >= 0 && (first < 0 || row < first)) {
      first = row;
    }
  }
  return first;
}

void GridView::SelectRow(int Row) {
  if (sort_ == nullptr) {
    return;
  }
  const QModelIndex index = sort_->mapFromSource(sort_->sourceModel()->index(Row, 1));
  if (!index.isValid()) {
    return;
  }
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
  scrollTo(index);
}

QString GridView::SelectedText() const {
  const QList<int> shown = SelectedItemsAsShown();
  if (shown.isEmpty()) {
    return {};
  }
  const std::vector<int> items(shown.begin(), shown.end());
  return QString::fromStdString(TableText(model_->Helper(), items));
}

void GridView::CopySelection() const {
  const QString text = SelectedText();
  if (!text.isEmpty()) {
    QGuiApplication::clipboard()->setText(text);
  }
}

void GridView::HeaderClicked(int Col) {
  if (Col != SortColumn()) {
    SortByColumn(Col, Qt::AscendingOrder);
  } else if (SortOrder() == Qt::AscendingOrder) {
    SortByColumn(Col, Qt::DescendingOrder);
  } else {
    SortByColumn(-1, Qt::AscendingOrder);
  }
}

void GridView::SortByColumn(int Col, Qt::SortOrder Order) {
  if (sort_ == nullptr) {
    return;
  }
  sort_->sort(Col, Order);
  horizontalHeader()->setSortIndicator(Col, Order);
  if (currentIndex().isValid()) {
    scrollTo(currentIndex());
  }
}

int GridView::SortColumn() const {
  return sort_ != nullptr ? sort_->sortColumn() : -1;
}

Qt::SortOrder GridView::SortOrder() const {
  return sort_ != nullptr ? sort_->sortOrder() : Qt::AscendingOrder;
}

QList<int> GridView::ColumnWidths() const {
  QList<int> widths{verticalHeader()->width()};
  // What each column is given of a wider window's room is not the user's choice, and kept it
  // would widen the grid past a smaller window next time.
  for (int col = 1; col < chosen_.size(); ++col) {
    widths.append(chosen_[col]);
  }
  return widths;
}

void GridView::SetColumnWidths(const QList<int>& Widths) {
  if (model() == nullptr || Widths.size() != model()->columnCount() ||
      Widths.size() != chosen_.size()) {
    return;
  }
  verticalHeader()->setMinimumWidth(Widths[0]);
  for (int col = 1; col < Widths.size(); ++col) {
    if (Widths[col] > 0) {
      chosen_[col] = Widths[col];
    }
  }
  FitColumns();
}

void GridView::resizeEvent(QResizeEvent* Event) {
  QTableView::resizeEvent(Event);
  FitColumns();
}

void GridView::FitColumns() {
  if (model_ == nullptr || chosen_.size() != model_->columnCount()) {
    return;
  }
  int total = 0;
  int lastShown = -1;
  for (int col = 1; col < chosen_.size(); ++col) {
    if (!isColumnHidden(col)) {
      total += chosen_[col];
      lastShown = col;
    }
  }
  const int room = viewport()->width();
  const int extra = total > 0 && room > total ? room - total : 0;
  fitting_ = true;
  int given = 0;
  for (int col = 1; col < chosen_.size(); ++col) {
    if (isColumnHidden(col)) {
      continue;
    }
    // In proportion to the chosen width; the last shown column takes what rounding left.
    const int share = col == lastShown
                          ? extra - given
                          : static_cast<int>(static_cast<int64_t>(extra) * chosen_[col] / total);
    given += share;
    setColumnWidth(col, chosen_[col] + share);
  }
  fitting_ = false;
}

void GridView::ColumnResized(int Col, int NewWidth) {
  if (fitting_ || Col < 1 || Col >= chosen_.size()) {
    return;
  }
  // The user's hand: the widths as shown become the chosen ones, and the grid stays as laid
  // out until the window's size changes.
  for (int col = 1; col < chosen_.size(); ++col) {
    chosen_[col] = col == Col ? NewWidth : columnWidth(col);
  }
}

QSize GridView::sizeHint() const {
  QSize hint = QTableView::sizeHint();
  if (model_ == nullptr) {
    return hint;
  }
  int width = 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) +
              std::max(verticalHeader()->minimumWidth(), verticalHeader()->sizeHint().width());
  for (int col = 1; col < chosen_.size(); ++col) {
    if (!isColumnHidden(col)) {
      width += chosen_[col];
    }
  }
  hint.setWidth(width);
  return hint;
}

} // namespace tarnwick::viewer
