#pragma once

#include <QList>
#include <QStringList>

class QWidget;

namespace tarnwick::viewer {

class GridView;

/// What the viewer remembers between runs in the user's configuration (QSettings): the
/// recently opened images, the last folder of the file dialogs, the window's geometry and
/// the column widths of each grid. What is read back is bounded: a value out of range (a
/// file edited by hand or by another version) is ignored, never applied or written back.
class ViewerSettings {
 public:
  /// How many recent images are kept.
  static constexpr int kRecentFiles = 8;
  /// The widths a column may be restored to, in pixels.
  static constexpr int kMinColumnWidth = 8;
  static constexpr int kMaxColumnWidth = 2000;
  /// The longest path kept among the recent images.
  static constexpr int kMaxPathLength = 4096;

  /// The recent images, newest first.
  static QStringList RecentFiles();
  /// Puts FileName first in the recent images.
  static void AddRecentFile(const QString& FileName);
  static QString LastFolder();
  /// Remembers the folder of FileName.
  static void SetLastFolder(const QString& FileName);
  /// Restores Window's geometry, its named splitters and the grids' column widths as they
  /// were saved.
  static void RestoreLayout(QWidget& Window, const QList<GridView*>& Grids);
  static void SaveLayout(const QWidget& Window, const QList<GridView*>& Grids);
};

} // namespace tarnwick::viewer
