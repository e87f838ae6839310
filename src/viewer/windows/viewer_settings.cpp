#include "viewer/windows/viewer_settings.hpp"

#include "viewer/windows/grid_view.hpp"

#include <QFileInfo>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

namespace tarnwick::viewer {

QStringList ViewerSettings::RecentFiles() {
  QStringList files;
  for (const QString& file : QSettings().value("recentFiles").toStringList()) {
    if (!file.isEmpty() && file.size() <= kMaxPathLength && !files.contains(file)) {
      files.append(file);
    }
    if (files.size() == kRecentFiles) {
      break;
    }
  }
  return files;
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
  const QString folder = QSettings().value("lastFolder").toString();
  return folder.size() <= kMaxPathLength ? folder : QString();
}

void ViewerSettings::SetLastFolder(const QString& FileName) {
  QSettings().setValue("lastFolder", QFileInfo(FileName).absolutePath());
}

void ViewerSettings::RestoreLayout(QWidget& Window, const QList<GridView*>& Grids) {
  const QSettings settings;
  const QSize size = Window.size();
  const QByteArray geometry = settings.value("window/geometry").toByteArray();
  // Qt's own check of the saved bytes; a window larger than every screen together, or off
  // them all, is put back at its first size.
  if (!geometry.isEmpty() && Window.restoreGeometry(geometry)) {
    QRect screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
      screens |= screen->availableVirtualGeometry();
    }
    const QRect frame = Window.frameGeometry();
    if (!screens.isEmpty() &&
        (frame.width() > screens.width() * 2 || frame.height() > screens.height() * 2 ||
         !screens.intersects(frame))) {
      Window.setGeometry(QRect(QPoint(), size));
    }
  }
  // Qt checks the saved bytes; a state it refuses leaves the splitter as it was built.
  for (QSplitter* splitter : Window.findChildren<QSplitter*>()) {
    if (!splitter->objectName().isEmpty()) {
      splitter->restoreState(settings.value("splitters/" + splitter->objectName()).toByteArray());
    }
  }
  for (GridView* grid : Grids) {
    const QVariant stored = settings.value("columns/" + grid->objectName());
    const QStringList texts = stored.toStringList();
    if (texts.size() > 64) {
      continue;
    }
    QList<int> widths;
    for (const QString& text : texts) {
      bool ok = false;
      const int width = text.trimmed().toInt(&ok);
      if (!ok || width < kMinColumnWidth || width > kMaxColumnWidth) {
        widths.clear();
        break;
      }
      widths.append(width);
    }
    if (!widths.isEmpty()) {
      grid->SetColumnWidths(widths);
    }
  }
}

void ViewerSettings::SaveLayout(const QWidget& Window, const QList<GridView*>& Grids) {
  QSettings settings;
  settings.setValue("window/geometry", Window.saveGeometry());
  for (const QSplitter* splitter : Window.findChildren<QSplitter*>()) {
    if (!splitter->objectName().isEmpty()) {
      settings.setValue("splitters/" + splitter->objectName(), splitter->saveState());
    }
  }
  for (GridView* grid : Grids) {
    QVariantList widths;
    for (int w : grid->ColumnWidths()) {
      widths.append(w);
    }
    settings.setValue("columns/" + grid->objectName(), widths);
  }
}

} // namespace tarnwick::viewer
