#include "viewer/panes/pane_widgets.hpp"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace tarnwick::viewer {

QFont FixedFont() {
  QFont fixed("monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  return fixed;
}

QLabel* DataLabel(const QString& Name, QWidget* Parent) {
  auto* label = new QLabel(Parent);
  label->setObjectName(Name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setFont(FixedFont());
  return label;
}

QSize ElidedLabel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
  // As wide as the text, but asking for no more than a short name's room.
  const QSize full = QLabel::sizeHint();
  return {std::min(full.width(), fontMetrics().horizontalAdvance(QString(16, 'x'))), full.height()};
}

void ElidedLabel::paintEvent(QPaintEvent* /*Event*/) {
  QPainter painter(this);
  const QRect room = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width());
  style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                        shown, foregroundRole());
}

} // namespace tarnwick::viewer
