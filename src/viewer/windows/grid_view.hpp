#pragma once

#include <QList>
#include <QTableView>

class QAction;

namespace tarnwick::viewer {

class GridModel;

/// A table of the main window: whole-row selection, grid lines, user-resizable columns, rows
/// as high as the font needs. The model's first column ("#") is shown as the vertical header,
/// so that it and the header row stay in view while the grid scrolls.
///
/// Callers speak of data items: the presenter's indexes in the written order (item i is the
/// presenter's data row i), whatever sorting or filtering the view shows them in.
class GridView : public QTableView {
  Q_OBJECT

 public:
  /// A view named Name (its objectName, the grid's name in the window).
  explicit GridView(const QString& Name, QWidget* Parent = nullptr);

  /// Shows Model (or Shown, a proxy over it) and gives each column its initial width: what
  /// its caption and a typical cell need in the font in use, at least the presenter's own.
  void SetGridModel(GridModel* Model, QAbstractItemModel* Shown = nullptr);
  GridModel* Grid() const { return model_; }

  /// The initial width of column Col for the font in use.
  int InitialWidth(int Col) const;
  /// The data row selected (0-based), or -1.
  int SelectedRow() const;
  /// Selects data row Row and scrolls it into view.
  void SelectRow(int Row);

  /// The data item of the current row, or -1.
  int CurrentItem() const;
  /// The selected data items, ascending.
  QList<int> SelectedItems() const;
  /// Makes data item Item the current and only selected row and scrolls it into view; an item
  /// that is not shown (filtered out, or out of range) clears the selection.
  void SelectItem(int Item);
  /// Adds Action to the grid's context menu (after its own entries).
  void AddContextAction(QAction* Action);

  /// The widths of the columns, the first one (the header's) included.
  QList<int> ColumnWidths() const;
  /// Sets the widths that ColumnWidths gave; a list of another length is ignored.
  void SetColumnWidths(const QList<int>& Widths);

 signals:
  /// The current row changed: its data item, or -1 when there is none.
  void CurrentItemChanged(int Item);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  GridModel* model_ = nullptr;
};

} // namespace tarnwick::viewer
