#include "viewer/panes/pane_widgets.hpp"

#include <QLabel>

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

} // namespace tarnwick::viewer
