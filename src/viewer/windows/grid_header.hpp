#pragma once

#include <QHeaderView>

namespace tarnwick::viewer {

/// The column header of a grid. The sort indicator is a small arrow above the caption, not
/// beside it, so that a column needs no room for it: a narrow column (the tracks' "HR") keeps
/// its caption whole when sorted, and a window of the default size shows every column of the
/// tracks.
class GridHeader : public QHeaderView {
 public:
  explicit GridHeader(QWidget* Parent = nullptr);

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* Option, int LogicalIndex) const override;
  void paintSection(QPainter* Painter, const QRect& Rect, int LogicalIndex) const override;
  QSize sectionSizeFromContents(int LogicalIndex) const override;
};

} // namespace tarnwick::viewer
