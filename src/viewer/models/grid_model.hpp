#pragma once

#include "present/string_grid_helper.hpp"

#include <QAbstractTableModel>

namespace tarnwick::viewer {

/// The decimal separator of the user's locale as one character; "." when the locale's is
/// not a single ASCII character.
char LocaleDecimalSeparator();

/// One grid presenter as a table model: the presenter's data rows (an empty table keeps one
/// row of "?"), its columns with their captions and alignment. Cells are formatted when a
/// view asks for them, that is when they are painted. The first column's texts are also the
/// vertical header's, so that a view can keep them in view while it scrolls sideways.
class GridModel : public QAbstractTableModel {
 public:
  /// A model over Helper, which must outlive it; the model follows the presenter's data
  /// changes.
  GridModel(TStringGridHelper& Helper, QObject* Parent = nullptr);

  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation,
                      int Role = Qt::DisplayRole) const override;

  TStringGridHelper& Helper() const { return helper_; }
  /// The Qt alignment of column Col.
  Qt::Alignment ColumnAlignment(int Col) const;

 private:
  TStringGridHelper& helper_;
};

} // namespace tarnwick::viewer
