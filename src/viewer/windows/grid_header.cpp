#include "viewer/windows/grid_header.hpp"

#include <QPainter>
#include <QPolygon>
#include <QStyleOptionHeader>

#include <algorithm>

namespace tarnwick::viewer {

namespace {

// The sort arrow's width for a font: half its height, even so that the tip is centred.
int ArrowWidth(const QFontMetrics& Metrics) {
  return std::max(6, Metrics.height() / 2) & ~1;
}

} // namespace

GridHeader::GridHeader(QWidget* Parent) : QHeaderView(Qt::Horizontal, Parent) {}

void GridHeader::initStyleOptionForIndex(QStyleOptionHeader* Option, int LogicalIndex) const {
  QHeaderView::initStyleOptionForIndex(Option, LogicalIndex);
  // The style would take the caption's room for its indicator: paintSection draws it.
  Option->sortIndicator = QStyleOptionHeader::None;
}

void GridHeader::paintSection(QPainter* Painter, const QRect& Rect, int LogicalIndex) const {
  // The style leaves the painter clipped to nothing when it had no clip before: what is drawn
  // after it needs the painter as it was.
  Painter->save();
  QHeaderView::paintSection(Painter, Rect, LogicalIndex);
  Painter->restore();
  if (!isSortIndicatorShown() || LogicalIndex != sortIndicatorSection()) {
    return;
  }
  const int width = ArrowWidth(fontMetrics());
  const int height = width / 2;
  // Over the middle of the caption, wherever its alignment puts it.
  const QString caption = model()->headerData(LogicalIndex, orientation()).toString();
  const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
  const int text = std::min(fontMetrics().horizontalAdvance(caption), Rect.width() - 2 * margin);
  const auto alignment = model()
                             ->headerData(LogicalIndex, orientation(), Qt::TextAlignmentRole)
                             .value<Qt::Alignment>();
  int middle = Rect.center().x();
  if (alignment & Qt::AlignRight) {
    middle = Rect.right() - margin - text / 2;
  } else if (alignment & Qt::AlignLeft) {
    middle = Rect.left() + margin + text / 2;
  }
  const int left = middle - width / 2;
  const int top = Rect.top() + 1;
  QPolygon arrow;
  if (sortIndicatorOrder() == Qt::AscendingOrder) {
    arrow << QPoint(left, top + height) << QPoint(left + width, top + height)
          << QPoint(left + width / 2, top);
  } else {
    arrow << QPoint(left, top) << QPoint(left + width, top)
          << QPoint(left + width / 2, top + height);
  }
  QColor color = palette().color(QPalette::WindowText);
  color.setAlpha(170);
  Painter->setRenderHint(QPainter::Antialiasing);
  Painter->setPen(Qt::NoPen);
  Painter->setBrush(color);
  Painter->drawPolygon(arrow);
}

QSize GridHeader::sectionSizeFromContents(int LogicalIndex) const {
  // As QHeaderView measures a caption, without the indicator's room beside it.
  QStyleOptionHeader option;
  initStyleOption(&option);
  option.section = LogicalIndex;
  option.fontMetrics = fontMetrics();
  option.text = model() != nullptr
                    ? model()->headerData(LogicalIndex, orientation(), Qt::DisplayRole).toString()
                    : QString();
  option.sortIndicator = QStyleOptionHeader::None;
  QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
  // Room above the caption, which stays centred, for the arrow and a pixel either side.
  size.rheight() += 2 * (ArrowWidth(fontMetrics()) / 2 + 2);
  return size;
}

} // namespace tarnwick::viewer
