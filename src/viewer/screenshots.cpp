#include "viewer/screenshots.hpp"

#include "device/device_info.hpp"
#include "viewer/map/tile_source.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/windows/debug_form.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

namespace tarnwick::viewer {

namespace {

bool Save(QWidget& Widget, const QString& Folder, const QString& Name) {
  Widget.show();
  Widget.raise();
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
  }
  return Widget.grab().save(QDir(Folder).filePath(Name + ".png"));
}

// Every tab of Tabs that is shown, as Prefix-<caption>.
int SaveTabs(QWidget& Form, QTabWidget& Tabs, const QString& Folder, const QString& Prefix) {
  int saved = 0;
  for (int i = 0; i < Tabs.count(); ++i) {
    if (!Tabs.isTabVisible(i)) {
      continue;
    }
    Tabs.setCurrentIndex(i);
    saved += Save(Form, Folder, Prefix + Tabs.tabText(i)) ? 1 : 0;
  }
  return saved;
}

// Lets the map fetch the tiles in sight (5 s at most), so the picture shows what a user sees
// once they came.
void WaitForTiles(MapPane& Map) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 5000) {
    Map.View()->repaint();
    if (Map.Tiles()->Idle()) {
      return;
    }
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
}

// The map at a rider's size: the selected track with a point chosen, then all tracks.
int SaveMap(QMainWindow& Form, const QString& Folder) {
  auto* map = Form.findChild<MapPane*>("mapPane");
  if (map == nullptr) {
    return 0;
  }
  int saved = 0;
  Form.resize(1280, 900);
  QApplication::processEvents();
  if (auto* points = Form.findChild<QTableView*>("grdTrackPoints"); points != nullptr) {
    points->selectRow(points->model()->rowCount() / 3);
  }
  map->View()->FitTrack();
  WaitForTiles(*map);
  saved += Save(Form, Folder, "map-window") ? 1 : 0;
  WaitForTiles(*map);
  saved += Save(*map, Folder, "map") ? 1 : 0;
  auto* all = map->findChild<QCheckBox*>("chkAllTracks");
  all->setChecked(true);
  WaitForTiles(*map);
  saved += Save(*map, Folder, "map-all") ? 1 : 0;
  all->setChecked(false);
  return saved;
}

// The graphs of the image's longest track with a point selected, against time and distance,
// at a large screen's size.
int SaveGraphs(QMainWindow& Form, const QString& Folder) {
  auto* tracks = Form.findChild<GridView*>("grdTracks");
  auto* points = Form.findChild<GridView*>("grdTrackPoints");
  auto* analysis = Form.findChild<QWidget*>("tabsAnalysis");
  auto* distance = Form.findChild<QRadioButton*>("rdoGraphDistance");
  auto* time = Form.findChild<QRadioButton*>("rdoGraphTime");
  if (tracks == nullptr || points == nullptr || analysis == nullptr || distance == nullptr ||
      time == nullptr || tracks->model()->rowCount() == 0) {
    return 0;
  }
  int longest = 0;
  int most = -1;
  for (int i = 0; i < tracks->model()->rowCount(); ++i) {
    tracks->SelectItem(i);
    if (points->model()->rowCount() > most) {
      most = points->model()->rowCount();
      longest = i;
    }
  }
  tracks->SelectItem(longest);
  points->SelectItem(most * 2 / 3);
  if (auto* pages = Form.findChild<QTabWidget*>("PageControl1")) {
    pages->setCurrentIndex(0);
  }
  int saved = 0;
  for (QRadioButton* axis : {time, distance}) {
    axis->click();
    Save(Form, Folder, "graphs-" + axis->text().toLower() + "-window");
    saved +=
        analysis->grab().save(QDir(Folder).filePath("graphs-" + axis->text().toLower() + ".png"))
            ? 1
            : 0;
  }
  time->click();
  // The same track's figures, zones and splits.
  if (auto* tabs = Form.findChild<QTabWidget*>("tabsAnalysis")) {
    tabs->setCurrentIndex(1);
    saved += Save(Form, Folder, "statistics-window") ? 1 : 0;
    saved += analysis->grab().save(QDir(Folder).filePath("statistics.png")) ? 1 : 0;
    tabs->setCurrentIndex(0);
  }
  return saved;
}

} // namespace

int SaveScreenshots(QMainWindow& Form, TIGotUControl& Control, const QString& Folder) {
  QDir().mkpath(Folder);
  int saved = 0;
  auto* pages = Form.findChild<QTabWidget*>("PageControl1");
  auto* trackData = Form.findChild<QTabWidget*>("tabTrackData");
  const QSize normal = Form.size();
  // Every page at the first size, then maximized (at least a large screen's worth where the
  // platform's screen is small, as the offscreen one is).
  for (const QString& size : {QString("main-"), QString("max-")}) {
    if (size == "max-") {
      Form.showMaximized();
      QApplication::processEvents();
      if (Form.width() < 1280 || Form.height() < 900) {
        Form.showNormal();
        Form.resize(1280, 900);
      }
    }
    pages->setCurrentIndex(0);
    saved += SaveTabs(Form, *trackData, Folder, size + "Tracks-");
    saved += SaveTabs(Form, *pages, Folder, size);
    if (auto* dump = Form.findChild<QTableView*>("grdPointsDump"); dump && dump->isVisible()) {
      dump->selectRow(3);
      saved += Save(Form, Folder, size + "PointsDump-selected") ? 1 : 0;
    }
  }
  saved += SaveGraphs(Form, Folder);
  Form.showNormal();
  pages->setCurrentIndex(0);
  saved += SaveMap(Form, Folder);
  Form.resize(normal);

  TProgressDialog progress(nullptr, true, &Form);
  progress.findChild<QLabel*>("lblMessage1")->setText("Downloading...");
  progress.findChild<QLabel*>("lblMessage2")->setText("Reading Block 02A000 (41)%");
  progress.findChild<QLabel*>("lblRate")->setText("41/100 blocks  41%  120.3 KiB/s  0:02 left");
  progress.findChild<QProgressBar*>("ProgressBar1")->setMaximum(100);
  progress.findChild<QProgressBar*>("ProgressBar1")->setValue(41);
  saved += Save(progress, Folder, "dialog-progress") ? 1 : 0;

  TPortSelDialog ports({"/dev/ttyACM0", "/dev/ttyUSB0"}, &Form);
  saved += Save(ports, Folder, "dialog-port-select") ? 1 : 0;

  TIGotUDeviceInfoList list;
  int number = 0;
  for (const char* name : {"i-gotU GT-120", "i-gotU GT-900"}) {
    auto info = std::make_unique<SerialDeviceInfo>(kIGotUVendorID, kIGotUProductChunk8, "0200");
    info->Name = name;
    info->ComPort = "/dev/ttyACM" + std::to_string(number++);
    list.Add(std::move(info));
  }
  TDevicesDialog devices(list, &Form);
  saved += Save(devices, Folder, "dialog-devices") ? 1 : 0;

  TPreferencesDialog prefs(&Form);
  saved += Save(prefs, Folder, "dialog-preferences") ? 1 : 0;

  TAboutDialog about(&Form);
  saved += Save(about, Folder, "dialog-about") ? 1 : 0;

  TDebugForm debug(Control, &Form);
  auto* debugTabs = debug.findChild<QTabWidget*>();
  for (int i = 0; i < debugTabs->count(); ++i) {
    debugTabs->setCurrentIndex(i);
    saved += Save(debug, Folder, "debug-" + debugTabs->tabText(i).replace(' ', '-')) ? 1 : 0;
  }
  return saved;
}

} // namespace tarnwick::viewer
