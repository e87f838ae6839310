#pragma once

#include "app/geotag_job.hpp"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace tarnwick::viewer {

/// The geotag preview and outcome as a table: one row per photo with the columns and texts of
/// `tarnwick geotag`'s lines (the file by its name, the full path in its tooltip), so what the
/// dialog shows and what the command prints read the same.
class GeotagModel : public QAbstractTableModel {
 public:
  explicit GeotagModel(QObject* Parent = nullptr);

  /// Shows Rows instead. The same photos in the same order keep the view's selection and
  /// scrolling (the preview is redone on every change of the offset).
  void SetRows(std::vector<app::GeotagRow> Rows);
  const std::vector<app::GeotagRow>& Rows() const { return rows_; }
  const app::GeotagRow& Row(int Index) const { return rows_[static_cast<size_t>(Index)]; }
  /// The column of the action (what was or would be done), and the one of its detail.
  int ActionColumn() const { return action_; }
  int DetailColumn() const { return action_ + 1; }

  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation,
                      int Role = Qt::DisplayRole) const override;

  /// Whether Action is one the user has to look at (the photo could not be tagged).
  static bool IsProblem(app::GeotagAction Action);

 private:
  std::vector<app::GeotagRow> rows_;
  // Each row's cells as the command prints them, worked out once per change.
  std::vector<QStringList> cells_;
  QStringList headers_;
  int action_;
};

} // namespace tarnwick::viewer
