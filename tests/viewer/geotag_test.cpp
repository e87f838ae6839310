// Geotagging in the viewer: the map's photo marks and their thumbnails, and the dialog's
// preview, offset from a photo's known place, Apply and its cancel, on photos the tests make.
#include "common/files.hpp"
#include "common/temp_dir.hpp"
#include "viewer/map/photo_thumbnails.hpp"
#include "viewer/map/tile_math.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer_test_util.hpp"

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <string>

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
};

} // namespace tarnwick::viewer

QObject* CreateGeotagTest() {
  return new tarnwick::viewer::GeotagTest;
}

#include "geotag_test.moc"
