#pragma once

#include <QString>

class QMainWindow;

namespace tarnwick {
class TIGotUControl;
}

namespace tarnwick::viewer {

/// Saves a PNG of every page of the main window Form and of each dialog into Folder (made when
/// missing): what a user sees, for checking the layout without a display. Control is the
/// logger control the debug window works on. Returns the number of pictures written.
int SaveScreenshots(QMainWindow& Form, TIGotUControl& Control, const QString& Folder);

} // namespace tarnwick::viewer
