// Geotagging in the viewer: the map's photo marks and their thumbnails, and the dialog's
// preview, offset from a photo's known place, Apply and its cancel, on photos the tests make.
#include "analysis/track_series.hpp"
#include "app/geotag_job.hpp"
#include "common/files.hpp"
#include "common/temp_dir.hpp"
#include "photos/photo_metadata.hpp"
#include "sim/sample_image.hpp"
#include "viewer/map/photo_thumbnails.hpp"
#include "viewer/map/tile_math.hpp"
#include "viewer/models/geotag_model.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/screenshots.hpp"
#include "viewer/windows/geotag_dialog.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/zone_box.hpp"
#include "viewer_test_util.hpp"

#include <QDateTime>
#include <QImage>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <string>
#include <vector>

namespace tarnwick::viewer {

namespace {

using test::TempDir;

// A photo of one colour, Width by Height pixels, as a JPEG file Name in Dir.
QString PlainJpeg(const TempDir& Dir, const std::string& Name, QColor Colour, int Width,
                  int Height) {
  QImage image(Width, Height, QImage::Format_RGB32);
  image.fill(Colour);
  const QString file = QString::fromStdString(Dir.File(Name));
  if (!image.save(file, "JPEG", 90)) {
    qFatal("cannot write %s", qPrintable(file));
  }
  return file;
}

// Whether Image has a pixel within Slack of Colour in each channel inside Box.
bool HasColourIn(const QImage& Image, const QRect& Box, QColor Colour, int Slack = 12) {
  const QRect inside = Box.intersected(Image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor c = Image.pixelColor(x, y);
      if (std::abs(c.red() - Colour.red()) <= Slack &&
          std::abs(c.green() - Colour.green()) <= Slack &&
          std::abs(c.blue() - Colour.blue()) <= Slack) {
        return true;
      }
    }
  }
  return false;
}

TIGotUWholeData SampleImage() {
  return sim::GenerateSampleImage({sim::SampleFamily::GT900, 3000, 7});
}

// Photo Number of a camera on the clock of Zone, taken at UtcMs: a JPEG of noise Width pixels
// wide (so that a write has data to copy) with DateTimeOriginal. Returns its file.
std::string WriteCameraPhoto(const TempDir& Dir, size_t Number, int64_t UtcMs,
                             const QTimeZone& Zone, int Width = 48) {
  QImage picture(Width, Width * 2 / 3, QImage::Format_RGB32);
  auto seed = static_cast<uint32_t>(Number * 2654435761U + 1);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      seed = seed * 1664525U + 1013904223U;
      picture.setPixel(x, y, seed >> 8);
    }
  }
  const QByteArray camera =
      QDateTime::fromMSecsSinceEpoch(UtcMs, Zone).toString("yyyy:MM:dd HH:mm:ss").toLatin1();
  const std::string file =
      Dir.File(QString("IMG_%1.JPG").arg(Number, 4, 10, QChar('0')).toStdString());
  const QByteArray bytes = SampleCameraJpeg(picture, camera);
  test::WriteFile(file, bytes.toStdString());
  return file;
}

void MoveMouse(QWidget& Widget, const QPointF& At) {
  QMouseEvent move(QEvent::MouseMove, At, Widget.mapToGlobal(At), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&Widget, &move);
}

} // namespace

class GeotagTest : public QObject {
  Q_OBJECT

 private slots:
  void ThumbnailsAreScaledReadOnceAndFailuresKept() {
    const TempDir dir;
    const QString wide = PlainJpeg(dir, "wide.jpg", QColor(20, 60, 220), 1200, 800);
    const QImage read = PhotoThumbnails::Read(wide, 160);
    QCOMPARE(read.size(), QSize(160, 106));
    QVERIFY(HasColourIn(read, QRect(80, 50, 1, 1), QColor(20, 60, 220)));
    test::WriteFile(dir.File("not-a-photo.jpg"), "plain text, no picture");
    QVERIFY(
        PhotoThumbnails::Read(QString::fromStdString(dir.File("not-a-photo.jpg")), 160).isNull());

    PhotoThumbnails thumbnails;
    QSignalSpy ready(&thumbnails, &PhotoThumbnails::Ready);
    QVERIFY(thumbnails.Thumbnail(wide) == nullptr);
    QVERIFY(thumbnails.Thumbnail(wide) == nullptr); // under way: not read twice
    const QString bad = QString::fromStdString(dir.File("not-a-photo.jpg"));
    QVERIFY(thumbnails.Thumbnail(bad) == nullptr);
    QVERIFY(QTest::qWaitFor([&] { return ready.count() == 2; }));
    QVERIFY(thumbnails.Idle());
    QCOMPARE(thumbnails.Thumbnail(wide)->size(), QSize(160, 106));
    // A file that is no picture is remembered as such, not read on every hover.
    QVERIFY(thumbnails.Thumbnail(bad)->isNull());
    QTest::qWait(20);
    QCOMPARE(ready.count(), 2);
  }

  void PhotoMarksAreDrawnAndHoverShowsTheThumbnail() {
    const TempDir dir;
    const QColor blue(20, 60, 220);
    const QColor orange(240, 140, 20);
    const QString first = PlainJpeg(dir, "first.jpg", blue, 600, 400);
    const QString second = PlainJpeg(dir, "second.jpg", orange, 400, 600);
    MapView view;
    view.resize(500, 400);
    view.show();
    view.SetView(14, ToWorld(52.5, 13.4));
    view.SetPhotos({{ToWorld(52.5, 13.4), first}, {ToWorld(52.49, 13.39), second}});
    QCOMPARE(view.Photos().size(), size_t(2));
    const QPointF firstAt = view.PixelOf(view.Photos()[0].At);
    const QPointF secondAt = view.PixelOf(view.Photos()[1].At);

    // Each photo is a dark camera mark where it was taken; no thumbnail without a hover.
    QImage shot = view.grab().toImage();
    for (const QPointF& at : {firstAt, secondAt}) {
      QVERIFY(HasColourIn(shot, QRect(at.toPoint() - QPoint(8, 6), QSize(17, 13)),
                          QColor(40, 40, 48), 4));
    }
    QVERIFY(!HasColourIn(shot, shot.rect(), blue));

    // The pointer near a mark picks the nearer photo, and its thumbnail comes above it.
    QCOMPARE(view.PhotoAt(firstAt + QPointF(5, 5)), 0);
    QCOMPARE(view.PhotoAt(firstAt + QPointF(40, 40)), -1);
    MoveMouse(view, firstAt + QPointF(3, -2));
    QCOMPARE(view.HoveredPhoto(), 0);
    QVERIFY(QTest::qWaitFor([&] {
      return HasColourIn(view.grab().toImage(),
                         QRect(QPoint(0, 0), QPoint(view.width(), firstAt.toPoint().y() - 14)),
                         blue);
    }));
    MoveMouse(view, secondAt);
    QCOMPARE(view.HoveredPhoto(), 1);
    QVERIFY(QTest::qWaitFor([&] {
      const QImage image = view.grab().toImage();
      return HasColourIn(image, image.rect(), orange) && !HasColourIn(image, image.rect(), blue);
    }));
    MoveMouse(view, QPointF(5, 5));
    QCOMPARE(view.HoveredPhoto(), -1);
    shot = view.grab().toImage();
    QVERIFY(!HasColourIn(shot, shot.rect(), orange));

    // A new set of photos replaces the marks.
    view.SetPhotos({});
    shot = view.grab().toImage();
    QVERIFY(!HasColourIn(shot, QRect(firstAt.toPoint() - QPoint(8, 6), QSize(17, 13)),
                         QColor(40, 40, 48), 4));
  }
  void PreviewFollowsOffsetAndZoneAndTheOffsetComesFromAPlace() {
    test::ErrorRecorder errors;
    const TempDir dir;
    const test::Window w;
    w.Form->resize(1100, 700);
    w.Form->show();
    QVERIFY(w.Form->LoadFile(test::Save(dir, SampleImage(), "trip")));
    const TrackSeries& ride = w.Form->Session().Session().Series()[0];
    QVERIFY(ride.Size() > 260);
    const TempDir photos;
    const QTimeZone helsinki("Europe/Helsinki");
    // A camera on Helsinki's clock, 2 minutes fast.
    for (const size_t point : {size_t(100), size_t(200), size_t(250)}) {
      WriteCameraPhoto(photos, point, ride.TimeMs[point] + 120'000, helsinki);
    }
    test::WriteFile(photos.File("notes.txt"), "not a photo\n");

    TGeotagDialog* dialog = w.Form->ShowGeotagDialog();
    QVERIFY(dialog->isVisible());
    dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("Europe/Helsinki");
    // A folder gives its photos; a file given by name is taken whatever it is.
    QVERIFY(dialog->AddPaths({QString::fromStdString(photos.Path().string()),
                              QString::fromStdString(photos.File("notes.txt"))}));
    GeotagModel& model = dialog->Model();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.Row(3).Action, app::GeotagAction::NotAPhoto);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString("IMG_0100.JPG"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(),
             QString::fromStdString(app::GeotagJob::TsvHeader()).split('\t').first());

    // Without the offset each photo lands 2 minutes further along; with it, on its point.
    const auto latitudeText = [&](int Row) { return model.data(model.index(Row, 3)).toString(); };
    const QString before = latitudeText(1);
    QCOMPARE(model.Row(1).Action, app::GeotagAction::Tag);
    QCOMPARE(*model.Row(1).UtcMs, ride.TimeMs[200] + 120'000);
    auto* offset = dialog->findChild<QSpinBox*>("spnClockOffset");
    offset->setValue(120);
    QCOMPARE(*model.Row(1).UtcMs, ride.TimeMs[200]);
    QVERIFY(std::abs(model.Row(1).Position->Latitude - ride.Latitude[200]) < 1e-9);
    QVERIFY(latitudeText(1) != before);
    QVERIFY(dialog->findChild<QLabel*>("lblClockOffset")->text().startsWith("+0:02:00"));
    // The camera's clock read as UTC: later by Helsinki's offset then.
    dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("utc");
    const int helsinkiOffset =
        helsinki.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ride.TimeMs[200], Qt::UTC));
    QVERIFY(helsinkiOffset >= 7200);
    QCOMPARE(*model.Row(1).UtcMs, ride.TimeMs[200] + helsinkiOffset * 1000LL);
    dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("Europe/Helsinki");

    // The offset from a photo whose place is known: a click on the map...
    offset->setValue(0);
    dialog->Table()->selectRow(1);
    auto* fromPhoto = dialog->findChild<QPushButton*>("cmdOffsetFromPhoto");
    QVERIFY(fromPhoto->isEnabled());
    fromPhoto->click();
    QVERIFY(dialog->findChild<QLabel*>("lblOffsetHint")->isVisibleTo(dialog));
    auto* view = w.Find<MapView>("mapView");
    QCOMPARE(view->CurrentTrack(), 0);
    view->SetView(19, view->Tracks()[0].Points()[200]);
    QTest::mouseClick(view, Qt::LeftButton, {},
                      view->PixelOf(view->Tracks()[0].Points()[200]).toPoint());
    const int picked = view->CurrentPoint();
    QVERIFY(picked >= 0);
    QCOMPARE(offset->value(), static_cast<int>(std::lround(
                                  (ride.TimeMs[200] + 120'000 - ride.TimeMs[picked]) / 1000.0)));
    QVERIFY(!fromPhoto->isChecked());
    QVERIFY(!dialog->findChild<QLabel*>("lblOffsetHint")->isVisibleTo(dialog));
    // ... or a row of the points table, for the third photo.
    offset->setValue(0);
    dialog->Table()->selectRow(2);
    fromPhoto->click();
    w.Find<GridView>("grdTrackPoints")->SelectItem(250);
    QCOMPARE(offset->value(), 120);
    QVERIFY(std::abs(model.Row(2).Position->Longitude - ride.Longitude[250]) < 1e-9);
    // Chosen points no longer move the offset once it was set.
    w.Find<GridView>("grdTrackPoints")->SelectItem(260);
    QCOMPARE(offset->value(), 120);
    QVERIFY(errors.Messages.isEmpty());
  }

  void ApplyTagsThePhotosAndTheMapMarksThem() {
    test::ErrorRecorder errors;
    const TempDir dir;
    const test::Window w;
    w.Form->show();
    QVERIFY(w.Form->LoadFile(test::Save(dir, SampleImage(), "trip")));
    const TrackSeries& ride = w.Form->Session().Session().Series()[0];
    const TempDir photos;
    std::vector<std::string> files;
    for (const size_t point : {size_t(50), size_t(150)}) {
      files.push_back(WriteCameraPhoto(photos, point, ride.TimeMs[point], QTimeZone::utc()));
    }
    // A photo long after the ride stays as it was.
    const std::string late =
        WriteCameraPhoto(photos, 9999, ride.TimeMs.back() + 86'400'000, QTimeZone::utc());
    const std::string lateBytes = test::ReadFile(late);
    TGeotagDialog* dialog = w.Form->ShowGeotagDialog();
    dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("utc");
    QVERIFY(dialog->AddPaths({QString::fromStdString(photos.Path().string())}));
    QVERIFY(dialog->Apply());
    GeotagModel& model = dialog->Model();
    QCOMPARE(model.Row(0).Action, app::GeotagAction::Tagged);
    QCOMPARE(model.Row(1).Action, app::GeotagAction::Tagged);
    QCOMPARE(model.Row(2).Action, app::GeotagAction::OutOfRange);
    for (size_t i = 0; i < files.size(); ++i) {
      const PhotoInfo info = ReadPhotoInfo(files[i]);
      QVERIFY(info.Position.has_value());
      const size_t point = i == 0 ? 50 : 150;
      QVERIFY(std::abs(info.Position->first - ride.Latitude[point]) < 1e-6);
      QVERIFY(std::abs(info.Position->second - ride.Longitude[point]) < 1e-6);
    }
    QCOMPARE(test::ReadFile(late), lateBytes);
    QVERIFY(w.Status().contains("2 tagged"));
    // The next preview knows what was written: the tagged photos now have a position.
    dialog->findChild<QSpinBox*>("spnClockOffset")->setValue(1);
    QCOMPARE(model.Row(0).Action, app::GeotagAction::SkippedHasPosition);
    QCOMPARE(model.Row(1).Action, app::GeotagAction::SkippedHasPosition);

    // On the map where they were taken, the late one not.
    auto* view = w.Find<MapView>("mapView");
    QCOMPARE(view->Photos().size(), size_t(2));
    const WorldPoint expected = ToWorld(ride.Latitude[50], ride.Longitude[50]);
    QVERIFY(std::abs(view->Photos()[0].At.X - expected.X) < 1e-9);
    QCOMPARE(view->Photos()[0].File.toStdString(), files[0]);
    // Another image clears them: they were placed by the tracks of this one.
    QVERIFY(w.Form->LoadFile(test::Save(dir, SampleImage(), "again")));
    QVERIFY(view->Photos().empty());
    QVERIFY(errors.Messages.isEmpty());
  }

  void CancelLeavesEachPhotoDoneOrUntouched() {
    test::ErrorRecorder errors;
    const TempDir dir;
    const test::Window w;
    w.Form->show();
    QVERIFY(w.Form->LoadFile(test::Save(dir, SampleImage(), "trip")));
    const TrackSeries& ride = w.Form->Session().Session().Series()[0];
    const TempDir photos;
    constexpr size_t kPhotos = 150;
    std::vector<std::string> files;
    std::vector<std::string> originals;
    for (size_t i = 0; i < kPhotos; ++i) {
      files.push_back(
          WriteCameraPhoto(photos, i, ride.TimeMs[i % ride.Size()], QTimeZone::utc(), 320));
      originals.push_back(test::ReadFile(files.back()));
    }
    TGeotagDialog* dialog = w.Form->ShowGeotagDialog();
    dialog->findChild<ZoneBox*>("cboCameraZone")->SetSetting("utc");
    QVERIFY(dialog->AddPaths({QString::fromStdString(photos.Path().string())}));
    // Cancel once a few photos are done, as the user's click would.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      TProgressDialog* progress = TProgressDialog::Current();
      if (progress != nullptr && progress->findChild<QProgressBar*>("ProgressBar1")->value() >= 5) {
        progress->Cancel();
        poll.stop();
      }
    });
    poll.start(0);
    QVERIFY(!dialog->Apply());
    size_t done = 0;
    size_t untouched = 0;
    for (size_t i = 0; i < kPhotos; ++i) {
      const app::GeotagRow& row = dialog->Model().Row(static_cast<int>(i));
      if (test::ReadFile(files[i]) == originals[i]) {
        ++untouched;
        QCOMPARE(row.Action, app::GeotagAction::Cancelled);
      } else {
        ++done;
        QCOMPARE(row.Action, app::GeotagAction::Tagged);
        QVERIFY(ReadPhotoInfo(files[i]).Position.has_value());
      }
    }
    QVERIFY(done >= 5);
    QVERIFY(untouched >= 1);
    // Nothing beside the photos: no temporary of a write cut short.
    QCOMPARE(test::FileNames(photos.Path()).size(), kPhotos);
    QCOMPARE(w.Find<MapView>("mapView")->Photos().size(), done);
    QVERIFY(errors.Messages.isEmpty());
  }
};

} // namespace tarnwick::viewer

QObject* CreateGeotagTest() {
  return new tarnwick::viewer::GeotagTest;
}

#include "geotag_test.moc"
