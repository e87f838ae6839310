#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QMenu;

namespace tarnwick::viewer {

/// Adds to Menu an item whose caption overrides Action's: it runs the action and follows its
/// enabled state; named "mnu" and the action's name without its "act".
QAction* MenuItem(QMenu* Menu, const QString& Caption, QAction* Action,
                  const QKeySequence& Shortcut);

} // namespace tarnwick::viewer
