#include "viewer/windows/viewer_settings.hpp"

#include "viewer/windows/grid_view.hpp"

#include <QFileInfo>
#include <QSettings>

namespace tarnwick::viewer {

QStringList ViewerSettings::RecentFiles() {
  return QSettings().value("recentFiles").toStringList();
}

void ViewerSettings::AddRecentFile(const QString& FileName) {
  const QString path = QFileInfo(FileName).absoluteFilePath();
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentFiles) {
    files.removeLast();
  }
  QSettings().setValue("recentFiles", files);
}

QString ViewerSettings::LastFolder() {
  return QSettings().value("lastFolder").toString();
}

void ViewerSettings::SetLastFolder(const QString& FileName) {
  QSettings().setValue("lastFolder", QFileInfo(FileName).absolutePath());
}

void ViewerSettings::RestoreLayout(QWidget& Window, const QList<GridView*>& Grids) {
  const QSettings settings;
  Window.restoreGeometry(settings.value("window/geometry").toByteArray());
  for (GridView* grid : Grids) {
    QList<int> widths;
    for (const QVariant& w : settings.value("columns/" + grid->objectName()).toList()) {
      widths.append(w.toInt());
    }
    grid->SetColumnWidths(widths);
  }
}

void ViewerSettings::SaveLayout(const QWidget& Window, const QList<GridView*>& Grids) {
  QSettings settings;
  settings.setValue("window/geometry", Window.saveGeometry());
  for (GridView* grid : Grids) {
    QVariantList widths;
    for (int w : grid->ColumnWidths()) {
      widths.append(w);
    }
    settings.setValue("columns/" + grid->objectName(), widths);
  }
}

} // namespace tarnwick::viewer
