#include "viewer/models/grid_model.hpp"

#include <QLocale>

namespace tarnwick::viewer {

char LocaleDecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  if (point.size() == 1 && point[0].unicode() < 0x80) {
    return static_cast<char>(point[0].unicode());
  }
  return '.';
}

GridModel::GridModel(TStringGridHelper& Helper, QObject* Parent)
    : QAbstractTableModel(Parent), helper_(Helper) {
  helper_.SetOnDataChanged([this] {
    beginResetModel();
    endResetModel();
  });
}

int GridModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : helper_.RowCount() - 1;
}

int GridModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : helper_.GetColCount();
}

Qt::Alignment GridModel::ColumnAlignment(int Col) const {
  switch (helper_.GetHeader(Col).Alignment) {
  case CellAlignment::Right:
    return Qt::AlignRight;
  case CellAlignment::Center:
    return Qt::AlignHCenter;
  case CellAlignment::Left:
    break;
  }
  return Qt::AlignLeft;
}

QVariant GridModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid()) {
    return {};
  }
  if (Role == Qt::DisplayRole) {
    return QString::fromStdString(helper_.GetCellText(Index.column(), Index.row() + 1));
  }
  if (Role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(ColumnAlignment(Index.column()) | Qt::AlignVCenter);
  }
  return {};
}

QVariant GridModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation == Qt::Horizontal) {
    if (Role == Qt::DisplayRole) {
      return QString::fromStdString(helper_.GetCellText(Section, 0));
    }
    if (Role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(ColumnAlignment(Section) | Qt::AlignVCenter);
    }
    if (Role == Qt::ToolTipRole) {
      return QString::fromStdString(helper_.GetHeader(Section).Hint);
    }
    return {};
  }
  if (Role == Qt::DisplayRole) {
    return QString::fromStdString(helper_.GetCellText(0, Section + 1));
  }
  if (Role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(ColumnAlignment(0) | Qt::AlignVCenter);
  }
  return {};
}

} // namespace tarnwick::viewer
