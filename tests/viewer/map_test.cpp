// The map: tile and projection arithmetic against known places, the drawn track's reduction,
// tiles from a server on 127.0.0.1 (fetched once, kept on disk, drawn, and the plain map when
// the server is gone), the status line, and the selection between the grids and the map.
#include "analysis/track_series.hpp"
#include "common/temp_dir.hpp"
#include "sim/sample_image.hpp"
#include "support/version.hpp"
#include "tile_server.hpp"
#include "viewer/map/map_settings.hpp"
#include "viewer/map/map_track.hpp"
#include "viewer/map/tile_math.hpp"
#include "viewer/map/tile_source.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace tarnwick::viewer {

namespace {

using test::TempDir;
using test::TileServer;

// A straight ride northwards from Berlin: Count points Step degrees apart.
TrackSeries Line(int Count, double Step) {
  TrackSeries series;
  for (int i = 0; i < Count; ++i) {
    series.TimeMs.push_back(i * 1000LL);
    series.Latitude.push_back(52.5 + i * Step);
    series.Longitude.push_back(13.4);
  }
  return series;
}

// How many pixels of Image have exactly the colour Rgb.
int Pixels(const QImage& Image, QRgb Rgb) {
  int count = 0;
  for (int y = 0; y < Image.height(); ++y) {
    for (int x = 0; x < Image.width(); ++x) {
      count += Image.pixel(x, y) == Rgb ? 1 : 0;
    }
  }
  return count;
}

} // namespace

class MapTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QDir(MapSettings::CacheFolder()).removeRecursively(); }
  void init() { QSettings().clear(); }

  void ProjectionAndTilesMatchKnownPlaces() {
    const WorldPoint origin = ToWorld(0, 0);
    QCOMPARE(origin.X, 0.5);
    QVERIFY(std::abs(origin.Y - 0.5) < 1e-12);
    // The tile of Berlin at zoom 10 as the tile servers number it.
    const TileKey berlin = TileOf(ToWorld(52.52, 13.405), 10);
    QCOMPARE(berlin, (TileKey{10, 550, 335}));
    // The corners of the world square, and latitudes beyond its edges land on them.
    QCOMPARE(TileOf(ToWorld(kMaxLatitude, -180), 3), (TileKey{3, 0, 0}));
    QCOMPARE(TileOf(ToWorld(-89.9, 180), 3), (TileKey{3, 7, 7}));
    QVERIFY(std::abs(ToWorld(89.9, 0).Y) < 1e-12);
    for (const auto& [lat, lon] : {std::pair{52.52, 13.405}, {-33.8568, 151.2153}, {0.0, -179.9}}) {
      const WorldPoint p = ToWorld(lat, lon);
      QVERIFY(std::abs(LatitudeOf(p) - lat) < 1e-9);
      QVERIFY(std::abs(LongitudeOf(p) - lon) < 1e-9);
    }
    QCOMPARE(WorldPixels(0), 256.0);
    QCOMPARE(WorldPixels(19), 134217728.0);
  }

  void ScaleGraticuleAndFitAreRound() {
    // The equator at zoom 0 is 40,075,017 m over 256 pixels; at 60° half of that.
    QVERIFY(std::abs(MetresPerPixel(0, 0) - 156543.034) < 0.001);
    QVERIFY(std::abs(MetresPerPixel(60, 5) - 156543.034 / 32 / 2) < 0.001);
    QCOMPARE(ScaleBarMetres(10, 150), 1000.0);
    QCOMPARE(ScaleBarMetres(3, 150), 200.0);
    QCOMPARE(ScaleBarMetres(0.7, 150), 100.0);
    QCOMPARE(ScaleBarMetres(3.4, 150), 500.0);
    QCOMPARE(ScaleBarMetres(0, 150), 0.0);
    QCOMPARE(GraticuleStep(100, 80), 1.0);
    QCOMPARE(GraticuleStep(100, 101), 2.0);
    QCOMPARE(GraticuleStep(1e6, 80), 0.0001);
    QCOMPARE(GraticuleStep(0.5, 80), 90.0);
    // A box of a quarter of the world fits 256 pixels at zoom 2 and no deeper.
    QCOMPARE(FittingZoom(0.25, 0.1, 256, 256), 2);
    QCOMPARE(FittingZoom(0.25, 0.1, 255, 256), 1);
    QCOMPARE(FittingZoom(2, 2, 256, 256), 0);
    QCOMPARE(FittingZoom(0, 0, 256, 256), kMaxZoom);
  }

  void DrawnTrackKeepsEndsAndBreaksAndDropsWhatPixelsCannotShow() {
    TrackSeries series = Line(2000, 0.00001); // about a metre apart
    series.Latitude[1000] = std::numeric_limits<double>::quiet_NaN();
    series.WayPoints.push_back({52.51, 13.4, 0, "Cafe"});
    const MapTrack track(series);
    QCOMPARE(track.First(), 0);
    QCOMPARE(track.Last(), 1999);
    QCOMPARE(track.WayPoints().size(), size_t(1));
    QVERIFY(std::isnan(track.Points()[1000].X));

    const std::vector<int>& coarse = track.Simplified(8);
    QVERIFY(coarse.size() < 20);
    QCOMPARE(coarse.front(), 0);
    QCOMPARE(coarse.back(), 1999);
    // The gap stays a gap, with the points on both sides of it.
    const auto gap = std::find(coarse.begin(), coarse.end(), -1);
    QVERIFY(gap != coarse.end());
    QCOMPARE(*(gap - 1), 999);
    QCOMPARE(*(gap + 1), 1001);
    // However deep, a straight line needs only the ends of its stretches.
    QCOMPARE(track.Simplified(kMaxZoom), (std::vector<int>{0, 999, -1, 1001, 1999}));
    // An out-and-back keeps its turning point, and a sideways step of a few pixels its corners.
    TrackSeries back = Line(200, 0.0001);
    for (int i = 100; i < 200; ++i) {
      back.Latitude[static_cast<size_t>(i)] = 52.5 + (199 - i) * 0.0001;
    }
    for (int i = 150; i < 200; ++i) {
      back.Longitude[static_cast<size_t>(i)] = 13.4001;
    }
    const MapTrack outAndBack(back);
    const std::vector<int>& deep = outAndBack.Simplified(kMaxZoom);
    QCOMPARE(deep.front(), 0);
    QVERIFY(std::find(deep.begin(), deep.end(), 99) != deep.end());
    QVERIFY(std::find(deep.begin(), deep.end(), 150) != deep.end());
    QCOMPARE(deep.back(), 199);
    QVERIFY(deep.size() <= 6);
    // The same zoom gives the same list (worked out once).
    QCOMPARE(&track.Simplified(8), &coarse);

    const WorldPoint near = ToWorld(52.5 + 1500 * 0.00001 + 0.000002, 13.4);
    QCOMPARE(track.Nearest(near, 1e-6), std::optional<int>(1500));
    QCOMPARE(track.Nearest(ToWorld(0, 0), 1e-3), std::nullopt);
  }

  void TilesAreFetchedOnceAndKeptOnDisk() {
    TileServer server;
    QVERIFY(server.Start());
    const TempDir cache;
    const QList<TileKey> keys{{2, 1, 1}, {2, 2, 1}, {2, 1, 2}, {3, 4, 4}};
    {
      TileSource source(server.Template(), QString::fromStdString(cache.Path().string()), 1 << 20);
      for (const TileKey& key : keys) {
        QVERIFY(source.Tile(key) == nullptr);
        QVERIFY(source.Tile(key) == nullptr); // under way: not asked again
      }
      QVERIFY(QTest::qWaitFor([&] {
        return std::all_of(keys.begin(), keys.end(), [&](auto k) { return source.Tile(k); });
      }));
      const QImage* tile = source.Tile({2, 2, 1});
      QCOMPARE(tile->size(), QSize(256, 256));
      QCOMPARE(tile->pixel(100, 100), TileServer::TileColour(2, 2, 1).rgb());
      QCOMPARE(source.Problem(), QString());
    }
    QCOMPARE(server.Requests(), 4);
    QCOMPARE(server.Requests("/2/2/1.png"), 1);
    QCOMPARE(server.LastUserAgent(), QByteArray("Tarnwick/") + kFileVersion);

    // Another run over the same cache asks the server for none of them.
    TileSource again(server.Template(), QString::fromStdString(cache.Path().string()), 1 << 20);
    for (const TileKey& key : keys) {
      again.Tile(key);
    }
    QVERIFY(QTest::qWaitFor([&] {
      return std::all_of(keys.begin(), keys.end(), [&](auto k) { return again.Tile(k); });
    }));
    QCOMPARE(server.Requests(), 4);
  }

  void FailedTilesAreToldOnceAndLeftAlone() {
    TileServer server;
    QVERIFY(server.Start());
    const TempDir cache;
    for (const QString& url : {server.Template().replace("{z}", "none/{z}"), QString()}) {
      if (url.isEmpty()) {
        server.Stop(); // the second round: nobody listens
      }
      TileSource source(url.isEmpty() ? server.Template() : url,
                        QString::fromStdString(cache.Path().string()), 1 << 20);
      QSignalSpy problems(&source, &TileSource::ProblemChanged);
      QSignalSpy changed(&source, &TileSource::Changed);
      for (int x = 0; x < 3; ++x) {
        source.Tile({2, x, 0});
      }
      QVERIFY(QTest::qWaitFor([&] { return changed.count() == 3; }));
      QCOMPARE(problems.count(), 1);
      QVERIFY(!source.Problem().isEmpty());
      QVERIFY(!problems.first().first().toString().isEmpty());
      // A failed tile is not asked for again at once.
      QVERIFY(source.Tile({2, 0, 0}) == nullptr);
      QCOMPARE(source.Requested(), 3);
    }
    QCOMPARE(server.Requests(), 3);

    // Off, and an address that is not a tile template: nothing is asked for.
    for (const QString& url : {QString(), QString("file:///tmp/{z}/{x}/{y}.png"),
                               QString("http://127.0.0.1:1/tiles.png")}) {
      TileSource source(url, {}, 0);
      QVERIFY(!source.Enabled());
      QVERIFY(source.Tile({0, 0, 0}) == nullptr);
      QCOMPARE(source.Requested(), 0);
      QCOMPARE(source.Problem().isEmpty(), url.isEmpty());
    }
  }

  void TilesAreDrawnAndTheGraticuleWhenTheServerStops() {
    test::ErrorRecorder errors;
    TileServer server;
    QVERIFY(server.Start());
    MapSettings::SetTileUrl(server.Template());
    SessionModel session;
    Selection selection;
    MapPane pane(session, selection);
    QSignalSpy problems(&pane, &MapPane::TileProblem);
    pane.resize(420, 340);
    pane.show();
    MapView* view = pane.View();
    view->SetView(3, {0.3, 0.4});
    QVERIFY(QTest::qWaitFor(
        [&] { return server.Requests() >= 4 && pane.Tiles()->Requested() == server.Requests(); }));
    QTest::qWait(200);
    const QPointF probe(view->width() / 3.0, view->height() / 3.0);
    const TileKey under = TileOf(view->WorldAt(probe), 3);
    QImage shot = view->grab().toImage();
    QCOMPARE(shot.pixel(probe.toPoint()), TileServer::TileColour(3, under.X, under.Y).rgb());
    QCOMPARE(Pixels(shot, MapView::kLandRgb), 0);

    // Redraws, a round trip of zooms and a new source over the same disk cache ask for no
    // tile a second time.
    for (int i = 0; i < 3; ++i) {
      view->repaint();
    }
    view->SetView(4, view->Center());
    QVERIFY(QTest::qWaitFor(
        [&] { return server.Paths() > 4 && server.Requests() == pane.Tiles()->Requested(); }));
    view->SetView(3, {0.3, 0.4});
    view->repaint();
    pane.ReloadTiles();
    view->repaint();
    QVERIFY(QTest::qWaitFor([&] {
      return view->grab().toImage().pixel(probe.toPoint()) ==
             TileServer::TileColour(3, under.X, under.Y).rgb();
    }));
    QCOMPARE(server.Requests(), server.Paths());
    QCOMPARE(problems.count(), 1); // the reload told that tiles are fine
    QCOMPARE(problems.last().first().toString(), QString());

    // The server gone: one report, and the tiles seen before still come from the disk.
    server.Stop();
    pane.ReloadTiles();
    view->SetView(3, {0.3, 0.4});
    QVERIFY(QTest::qWaitFor([&] {
      return view->grab().toImage().pixel(probe.toPoint()) ==
             TileServer::TileColour(3, under.X, under.Y).rgb();
    }));
    // Somewhere never fetched: the plain background with its graticule lines.
    view->SetView(6, {0.8, 0.7});
    QVERIFY(QTest::qWaitFor([&] { return !pane.Tiles()->Problem().isEmpty(); }));
    QVERIFY(!problems.last().first().toString().isEmpty());
    shot = view->grab().toImage();
    const int pixels = shot.width() * shot.height();
    QVERIFY(Pixels(shot, MapView::kLandRgb) > pixels / 2);
    QVERIFY(Pixels(shot, MapView::kGraticuleRgb) > shot.height());
    QVERIFY(errors.Messages.isEmpty());
  }

  void WheelZoomsAboutThePointerAndDragPans() {
    MapView view;
    view.resize(400, 300);
    view.show();
    view.SetView(10, ToWorld(52.5, 13.4));
    const QPointF pointer(300, 80);
    const WorldPoint under = view.WorldAt(pointer);
    const auto wheel = [&](int Delta) {
      QWheelEvent event(pointer, view.mapToGlobal(pointer), {}, {0, Delta}, Qt::NoButton, {},
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(&view, &event);
    };
    wheel(120);
    QCOMPARE(view.Zoom(), 11);
    wheel(60); // half a notch: not yet
    QCOMPARE(view.Zoom(), 11);
    wheel(60);
    QCOMPARE(view.Zoom(), 12);
    const WorldPoint still = view.WorldAt(pointer);
    QVERIFY(std::abs(still.X - under.X) * WorldPixels(12) < 0.01);
    QVERIFY(std::abs(still.Y - under.Y) * WorldPixels(12) < 0.01);

    // Dragging by (50, -20) pixels moves the place under the pointer with it.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&view, QPoint(150, 80));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150, 80));
    const QPointF moved = view.PixelOf(still);
    QVERIFY(QLineF(moved, pointer + QPointF(50, -20)).length() < 0.01);
  }

  void StatusLineTellsWhenTilesAreUnavailable() {
    TileServer server;
    QVERIFY(server.Start());
    server.Stop();
    {
      // Under test, without a choice, no tiles are fetched at all.
      const test::Window w;
      QVERIFY(!w.Find<MapPane>("mapPane")->Tiles()->Enabled());
      QVERIFY(w.Find<QLabel>("lblTiles")->isHidden());
      QCOMPARE(w.Find<QSplitter>("splitRight")->widget(0), w.Find<QWidget>("mapPane"));
    }
    // The preferences take only a usable template; the map takes it up when it changed.
    test::ErrorRecorder errors;
    TPreferencesDialog dialog(nullptr);
    auto* url = dialog.findChild<QLineEdit*>("edtTileUrl");
    QCOMPARE(url->text(), QString());
    url->setText("tiles.example/{z}/{x}/{y}.png");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(errors.Messages.size(), 1);
    url->setText(" " + server.Template() + " ");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.TileUrl(), server.Template());
    MapSettings::SetTileUrl(dialog.TileUrl());
    const test::Window w;
    w.Form->show();
    auto* label = w.Find<QLabel>("lblTiles");
    QVERIFY(QTest::qWaitFor([&] { return label->isVisible(); }));
    QVERIFY(label->text().startsWith("Map tiles unavailable"));
    QCOMPARE(w.Status(), QString()); // a label of its own, not the passing message line

    auto* pane = w.Find<MapPane>("mapPane");
    const TileSource* before = pane->Tiles();
    pane->FollowPreferences();
    QCOMPARE(pane->Tiles(), before); // unchanged: the tiles in memory stay
    MapSettings::SetTileUrl("");
    pane->FollowPreferences();
    QVERIFY(!pane->Tiles()->Enabled());
    QVERIFY(label->isHidden());
  }

  void SelectionFollowsBetweenGridAndMap() {
    const TempDir dir;
    const test::Window w;
    w.Form->resize(1100, 700);
    w.Form->show();
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 3000, 7});
    QVERIFY(w.Form->LoadFile(test::Save(dir, image, "trip")));
    auto* view = w.Find<MapView>("mapView");
    auto* points = w.Find<QTableView>("grdTrackPoints");
    QCOMPARE(view->CurrentTrack(), 0);
    QVERIFY(view->Tracks().size() > 1);

    // The whole selected track is in sight.
    const auto fitted = [view](int Track) {
      const MapTrack& track = view->Tracks()[static_cast<size_t>(Track)];
      const QRectF box(view->PixelOf(track.Min()), view->PixelOf(track.Max()));
      return QRectF(view->rect()).contains(box) && (box.width() > 40 || box.height() > 40);
    };
    QVERIFY(fitted(0));
    w.Find<QTableView>("grdTracks")->selectRow(1);
    QCOMPARE(view->CurrentTrack(), 1);
    QVERIFY(fitted(1));

    // Grid to map.
    points->selectRow(10);
    QCOMPARE(view->CurrentPoint(), 10);

    // Map to grid: a click on a point selects it, or a neighbour drawn on the same pixel.
    const MapTrack& track = view->Tracks()[1];
    const int target = static_cast<int>(track.Points().size()) / 2;
    const QPoint click = view->PixelOf(track.Points()[static_cast<size_t>(target)]).toPoint();
    QTest::mouseClick(view, Qt::LeftButton, {}, click);
    const int picked = view->CurrentPoint();
    QVERIFY(picked >= 0);
    const QPointF at = view->PixelOf(track.Points()[static_cast<size_t>(picked)]);
    QVERIFY(QLineF(at, click).length() <= 0.75);
    QCOMPARE(points->currentIndex().row(), picked);
    QCOMPARE(view->CurrentTrack(), 1);

    // With all tracks drawn, a click on another track selects it and its point.
    view->SetShowAll(true);
    view->SetView(1, {0.5, 0.5});
    const MapTrack& first = view->Tracks()[0];
    view->SetView(18, first.Points()[5]);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->PixelOf(first.Points()[5]).toPoint());
    QCOMPARE(w.Find<QTableView>("grdTracks")->currentIndex().row(), 0);
    QVERIFY(points->currentIndex().row() >= 0);
    QCOMPARE(view->CurrentPoint(), points->currentIndex().row());
    QCOMPARE(view->Zoom(), 18); // picked where the user looks: not fitted away
  }
};

} // namespace tarnwick::viewer

QObject* CreateMapTest() {
  return new tarnwick::viewer::MapTest;
}

#include "map_test.moc"
