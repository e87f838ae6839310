#include "viewer/windows/menu_item.hpp"

#include <QAction>
#include <QMenu>

namespace tarnwick::viewer {

QAction* MenuItem(QMenu* Menu, const QString& Caption, QAction* Action,
                  const QKeySequence& Shortcut) {
  auto* item = Menu->addAction(Caption);
  item->setObjectName("mnu" + Action->objectName().mid(3));
  item->setShortcut(Shortcut);
  item->setEnabled(Action->isEnabled());
  QObject::connect(item, &QAction::triggered, Action, &QAction::trigger);
  QObject::connect(Action, &QAction::changed, item,
                   [item, Action] { item->setEnabled(Action->isEnabled()); });
  return item;
}

} // namespace tarnwick::viewer
