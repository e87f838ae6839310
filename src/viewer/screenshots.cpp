#include "viewer/screenshots.hpp"

#include "analysis/track_series.hpp"
#include "device/device_info.hpp"
#include "viewer/map/photo_thumbnails.hpp"
#include "viewer/map/tile_source.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/windows/debug_form.hpp"
#include "viewer/windows/geotag_dialog.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/main_form.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer/windows/zone_box.hpp"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimeZone>

namespace tarnwick::viewer {

namespace {

// Appends Value as Bytes little-endian bytes.
void PutLittle(QByteArray& Out, uint32_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) {
    Out.append(static_cast<char>((Value >> (8 * i)) & 0xFF));
  }
}

} // namespace

QByteArray SampleCameraJpeg(const QImage& Picture, const QByteArray& DateTime) {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  Picture.save(&buffer, "JPEG", 85);
  QByteArray tiff("II");
  PutLittle(tiff, 42, 2);
  PutLittle(tiff, 8, 4);
  PutLittle(tiff, 1, 2); // IFD0: the Exif IFD's place
  PutLittle(tiff, 0x8769, 2);
  PutLittle(tiff, 4, 2);
  PutLittle(tiff, 1, 4);
  PutLittle(tiff, 26, 4);
  PutLittle(tiff, 0, 4);
  PutLittle(tiff, 1, 2); // Exif IFD at 26: DateTimeOriginal, its text after the IFD
  PutLittle(tiff, 0x9003, 2);
  PutLittle(tiff, 2, 2);
  PutLittle(tiff, 20, 4);
  PutLittle(tiff, 26 + 2 + 12 + 4, 4);
  PutLittle(tiff, 0, 4);
  tiff.append(DateTime.left(19).leftJustified(19, ' '));
  tiff.append('\0');
  const QByteArray payload = QByteArray("Exif", 4) + QByteArray(2, '\0') + tiff;
  QByteArray app1("\xFF\xE1", 2);
  app1.append(static_cast<char>(((payload.size() + 2) >> 8) & 0xFF));
  app1.append(static_cast<char>((payload.size() + 2) & 0xFF));
  return jpeg.left(2) + app1 + payload + jpeg.mid(2);
}

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

// Photos along the selected track for the geotag dialog, taken by a camera on Berlin's clock
// that runs 95 s fast: the dialog with its preview, then the map with the tagged photos, one
// of them under the pointer.
int SaveGeotag(TMainForm& Form, const QString& Folder) {
  auto* map = Form.findChild<MapPane*>("mapPane");
  if (map == nullptr) {
    return 0;
  }
  const std::vector<TrackSeries>& series = Form.Session().Session().Series();
  const auto track = static_cast<size_t>(std::max(0, map->View()->CurrentTrack()));
  if (track >= series.size() || series[track].Size() < 20) {
    return 0;
  }
  const QTemporaryDir photos;
  const QTimeZone berlin("Europe/Berlin");
  const TrackSeries& ride = series[track];
  const std::array<QColor, 4> colours{QColor(70, 130, 180), QColor(60, 150, 80),
                                      QColor(200, 120, 40), QColor(150, 80, 160)};
  constexpr int kPhotos = 7;
  for (int i = 0; i < kPhotos; ++i) {
    const size_t point = ride.Size() * static_cast<size_t>(i + 1) / (kPhotos + 1);
    // The last photo was taken long after the ride: out of the track's reach.
    const int64_t utc = i == kPhotos - 1 ? ride.TimeMs.back() + 6 * 3600000LL : ride.TimeMs[point];
    const QByteArray camera = QDateTime::fromMSecsSinceEpoch(utc + 95000, berlin)
                                  .toString("yyyy:MM:dd HH:mm:ss")
                                  .toLatin1();
    QImage picture(480, 320, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), colours[static_cast<size_t>(i) % colours.size()]);
    painter.setPen(Qt::white);
    QFont big = painter.font();
    big.setPointSize(28);
    painter.setFont(big);
    painter.drawText(picture.rect(), Qt::AlignCenter, QString("IMG_%1").arg(4711 + i));
    painter.end();
    QFile file(QDir(photos.path()).filePath(QString("IMG_%1.JPG").arg(4711 + i)));
    if (!file.open(QIODevice::WriteOnly) || file.write(SampleCameraJpeg(picture, camera)) < 0) {
      return 0;
    }
  }
  QFile notes(QDir(photos.path()).filePath("notes.txt"));
  if (notes.open(QIODevice::WriteOnly)) {
    notes.write("a file among the photos that is not one\n");
  }
  notes.close();

  int saved = 0;
  Form.resize(1280, 900);
  TGeotagDialog* dialog = Form.ShowGeotagDialog();
  dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("Europe/Berlin");
  dialog->AddPaths({photos.path()});
  dialog->findChild<QSpinBox*>("spnClockOffset")->setValue(95);
  dialog->Table()->selectRow(2);
  saved += Save(*dialog, Folder, "dialog-geotag") ? 1 : 0;
  dialog->Apply();
  saved += Save(*dialog, Folder, "dialog-geotag-applied") ? 1 : 0;
  dialog->close();
  MapView* view = map->View();
  view->FitTrack();
  WaitForTiles(*map);
  saved += Save(*map, Folder, "map-photos") ? 1 : 0;
  if (!view->Photos().empty()) {
    const QPointF at = view->PixelOf(view->Photos()[view->Photos().size() / 2].At);
    QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    // Drawing the hovered photo is what asks for its thumbnail.
    view->repaint();
    QElapsedTimer waited;
    waited.start();
    while (!view->Thumbnails().Idle() && waited.elapsed() < 5000) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    saved += Save(*map, Folder, "map-photos-hover") ? 1 : 0;
  }
  map->SetPhotos({});
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
  if (auto* main = dynamic_cast<TMainForm*>(&Form)) {
    saved += SaveGeotag(*main, Folder);
  }
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
