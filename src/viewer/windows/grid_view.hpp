#pragma once

#include <QList>
#include <QTableView>

class QAction;

namespace tarnwick::viewer {

class GridModel;
class GridSortModel;

/// A table of the main window: whole-row selection of one or several rows, grid lines,
/// user-resizable columns of which the last one takes up the room the window has to spare,
/// rows as high as the font needs. The model's first column ("#", the item's number) is shown
/// as the vertical header, so that it and the header row stay in view while the grid scrolls.
///
/// A click on a column header sorts by that column's values, ascending; a second click
/// reverses the order and a third one returns to the written order, as does a click on the
/// "#" corner. Ctrl+C and the context menu's "Copy" copy the selected rows, in the order shown,
/// as the command line prints them.
///
/// Callers speak of data items: the presenter's indexes in the written order (item i is the
/// presenter's data row i), whatever sorting or filtering the view shows them in.
class GridView : public QTableView {
  Q_OBJECT

 public:
  /// A view named Name (its objectName, the grid's name in the window).
  explicit GridView(const QString& Name, QWidget* Parent = nullptr);

  /// Shows Model, or Shown, a proxy over it (a filter), in the order the user sorts it, and
  /// gives each column its initial width: what its caption and a typical cell need in the font
  /// in use.
  void SetGridModel(GridModel* Model, QAbstractItemModel* Shown = nullptr);
  GridModel* Grid() const { return model_; }

  /// The initial width of column Col for the font in use.
  int InitialWidth(int Col) const;
  /// The selected row of the model given to SetGridModel as Shown (the model itself when
  /// there is none), that is the row before sorting: the current row when it is selected,
  /// otherwise the first selected one; -1 when no row is selected.
  int SelectedRow() const;
  /// Selects row Row of that model and scrolls it into view.
  void SelectRow(int Row);

  /// The data item of the current row, or -1 (also for the row an empty table shows).
  int CurrentItem() const;
  /// The selected data items, ascending.
  QList<int> SelectedItems() const;
  /// The selected data items in the order the view shows them.
  QList<int> SelectedItemsAsShown() const;
  /// Whether data item Item has a row (is not filtered out, and exists).
  bool IsItemShown(int Item) const;
  /// Makes data item Item the current and only selected row and scrolls it into view; an item
  /// that is not shown (filtered out, or out of range) clears the selection.
  void SelectItem(int Item);
  /// Adds Action to the grid's context menu (after its own entries).
  void AddContextAction(QAction* Action);

  /// The selected rows as Copy puts them on the clipboard: the header line, then one line per
  /// selected item in the order shown, the cells separated by tabs.
  QString SelectedText() const;
  /// Puts SelectedText on the clipboard (nothing when no row is selected).
  void CopySelection() const;

  /// Sorts by column Col's values in Order; Col -1 returns to the written order.
  void SortByColumn(int Col, Qt::SortOrder Order);
  /// The column the rows are sorted by, -1 for the written order.
  int SortColumn() const;
  Qt::SortOrder SortOrder() const;

  /// The widths of the columns, the first one (the header's) included; for the last one, which
  /// fills the room the window leaves, its initial width.
  QList<int> ColumnWidths() const;
  /// Sets the widths that ColumnWidths gave; a list of another length is ignored.
  void SetColumnWidths(const QList<int>& Widths);

  /// Wide enough for every column at its width.
  QSize sizeHint() const override;

 signals:
  /// The current row changed: its data item, or -1 when there is none.
  void CurrentItemChanged(int Item);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

 private:
  // Gives each shown column its chosen width and, when the window has room to spare, a share
  // of it in proportion to that width.
  void FitColumns();
  void ColumnResized(int Col, int NewWidth);
  void HeaderClicked(int Col);
  QModelIndex ShownIndex(const QModelIndex& ViewIndex) const;

  GridModel* model_ = nullptr;
  GridSortModel* sort_ = nullptr;
  QAction* copy_ = nullptr;
  QList<int> chosen_; // per column: the width chosen by the user or from the font
  bool fitting_ = false;
};

} // namespace tarnwick::viewer
