#pragma once

#include <QString>

namespace tarnwick::viewer {

class TMainForm;

/// Saves a PNG of every page of Form and of each dialog into Folder (made when missing):
/// what a user sees, for checking the layout without a display. Returns the number of
/// pictures written.
int SaveScreenshots(TMainForm& Form, const QString& Folder);

} // namespace tarnwick::viewer
