#include "viewer/models/geotag_model.hpp"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace tarnwick::viewer {

namespace {

QStringList Fields(const std::string& Line) {
  QString text = QString::fromStdString(Line);
  while (text.endsWith('\n') || text.endsWith('\r')) {
    text.chop(1);
  }
  return text.split('\t');
}

} // namespace

GeotagModel::GeotagModel(QObject* Parent)
    : QAbstractTableModel(Parent), headers_(Fields(app::GeotagJob::TsvHeader())),
      // The report ends with the action and its detail.
      action_(std::max(1, static_cast<int>(headers_.size()) - 2)) {}

void GeotagModel::SetRows(std::vector<app::GeotagRow> Rows) {
  const bool same = Rows.size() == rows_.size() &&
                    std::equal(Rows.begin(), Rows.end(), rows_.begin(),
                               [](const auto& A, const auto& B) { return A.File == B.File; });
  if (!same) {
    beginResetModel();
  }
  rows_ = std::move(Rows);
  cells_.clear();
  const auto columns = static_cast<int>(headers_.size());
  for (const app::GeotagRow& row : rows_) {
    // The file column is the row's own: a name may hold a tab, the other fields cannot.
    QStringList fields = Fields(app::GeotagJob::TsvLine(row));
    QStringList cells{QFileInfo(QString::fromStdString(row.File)).fileName()};
    cells.append(fields.mid(std::max<qsizetype>(1, fields.size() - (columns - 1))));
    while (cells.size() < columns) {
      cells.append(QString());
    }
    cells_.push_back(cells);
  }
  if (same) {
    if (!rows_.empty()) {
      emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
  } else {
    endResetModel();
  }
}

int GeotagModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GeotagModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

bool GeotagModel::IsProblem(app::GeotagAction Action) {
  switch (Action) {
  case app::GeotagAction::NoTime:
  case app::GeotagAction::OutOfRange:
  case app::GeotagAction::NotAPhoto:
  case app::GeotagAction::Failed:
    return true;
  default:
    return false;
  }
}

QVariant GeotagModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Index.row() >= rowCount() || Index.column() >= columnCount()) {
    return {};
  }
  const app::GeotagRow& row = rows_[static_cast<size_t>(Index.row())];
  switch (Role) {
  case Qt::DisplayRole:
    return cells_[static_cast<size_t>(Index.row())][Index.column()];
  case Qt::ToolTipRole:
    if (Index.column() == 0) {
      return QDir::toNativeSeparators(QString::fromStdString(row.File));
    }
    if (Index.column() >= ActionColumn() && !row.Detail.empty()) {
      return QString::fromStdString(row.Detail);
    }
    return {};
  case Qt::TextAlignmentRole:
    // The figures right-aligned, as numbers are.
    return Index.column() == 0 || Index.column() >= ActionColumn()
               ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
               : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  case Qt::ForegroundRole:
    if (Index.column() == ActionColumn() && IsProblem(row.Action)) {
      return QBrush(QColor(170, 20, 20));
    }
    return {};
  default:
    return {};
  }
}

QVariant GeotagModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Role != Qt::DisplayRole) {
    return {};
  }
  if (Orientation == Qt::Vertical) {
    return Section + 1;
  }
  return Section >= 0 && Section < headers_.size() ? headers_[Section] : QVariant();
}

} // namespace tarnwick::viewer
