#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace tarnwick::viewer {

/// The fixed-pitch font of the raw bytes and dumps.
QFont FixedFont();

/// A selectable label in the fixed font for the raw bytes under a grid, named Name.
QLabel* DataLabel(const QString& Name, QWidget* Parent);

} // namespace tarnwick::viewer
