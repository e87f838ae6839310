#pragma once

#include <QList>
#include <QStringList>

class QWidget;

namespace tarnwick::viewer {

class GridView;

/// What the viewer remembers between runs in the user's configuration (QSettings): the
/// recently opened images, the last folder of the file dialogs, the window's geometry and
/// the column widths of each grid.
class ViewerSettings {
 public:
  /// How many recent images are kept.
  static constexpr int kRecentFiles = 8;

  /// The recent images, newest first.
  static QStringList RecentFiles();
  /// Puts FileName first in the recent images.
  static void AddRecentFile(const QString& FileName);
  static QString LastFolder();
  /// Remembers the folder of FileName.
  static void SetLastFolder(const QString& FileName);
  /// Restores Window's geometry and the grids' column widths as they were saved.
  static void RestoreLayout(QWidget& Window, const QList<GridView*>& Grids);
  static void SaveLayout(const QWidget& Window, const QList<GridView*>& Grids);
};

} // namespace tarnwick::viewer
