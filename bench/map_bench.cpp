// The map's redraws on a 65,535-point ride, offscreen, with every tile in sight already
// fetched (from a tile server on 127.0.0.1 that this program starts): the whole track fitted,
// pans by a few pixels and zooms in and out, at the fitted zoom and deep in, where most of
// the track is off screen. Each figure is one synchronous repaint of the map, median and
// worst of many. A timed program rather than Google Benchmark: it needs widgets and an event
// loop.
#include "analysis/track_series.hpp"
#include "viewer/map/map_track.hpp"
#include "viewer/map/tile_source.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/tile_server.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

using namespace tarnwick;
using namespace tarnwick::viewer;

// A ride of Count points a second apart, at about 7 m/s, turning slowly: some 450 km that
// wander over a region as a long tour does.
TrackSeries Ride(int Count) {
  TrackSeries series;
  std::mt19937 random(7);
  std::normal_distribution<double> turn(0, 0.03);
  double lat = 47.3;
  double lon = 8.5;
  double heading = 0.7;
  for (int i = 0; i < Count; ++i) {
    series.TimeMs.push_back(1'750'000'000'000LL + i * 1000LL);
    series.Latitude.push_back(lat);
    series.Longitude.push_back(lon);
    heading += turn(random) + 0.0004;
    lat += 7 * std::cos(heading) / 111'000;
    lon += 7 * std::sin(heading) / (111'000 * std::cos(lat * 3.14159265 / 180));
  }
  return series;
}

// Asks for the tiles of the view until every one of them is at hand.
void FetchTiles(MapView& View, TileSource& Tiles) {
  for (int pass = 0; pass < 50; ++pass) {
    View.repaint();
    if (Tiles.Idle()) {
      View.repaint();
      if (Tiles.Idle()) {
        return;
      }
    }
    while (!Tiles.Idle()) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
  }
}

struct Figures {
  double Median = 0;
  double Worst = 0;
};

Figures Summary(std::vector<double> Ms) {
  std::sort(Ms.begin(), Ms.end());
  return {Ms[Ms.size() / 2], Ms.back()};
}

// CPU time of the calling thread: on a machine shared with other work, the wall clock also
// counts the time the GUI thread waited for a core.
qint64 ThreadCpuNs() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct Sample {
  double WallMs;
  double CpuMs;
};

Sample RepaintMs(MapView& View) {
  QElapsedTimer timer;
  const qint64 cpu = ThreadCpuNs();
  timer.start();
  View.repaint();
  return {static_cast<double>(timer.nsecsElapsed()) / 1e6,
          static_cast<double>(ThreadCpuNs() - cpu) / 1e6};
}

// Pans by Step pixels to and fro and zooms one level in and out about the centre, each
// followed by a repaint; the tiles of every view are fetched first.
void Measure(const char* Where, MapView& View, TileSource& Tiles, int Zoom, WorldPoint Center) {
  const double step = 40 / WorldPixels(Zoom);
  std::vector<WorldPoint> pans;
  for (int i = -3; i <= 3; ++i) {
    pans.push_back({Center.X + i * step, Center.Y + i * step / 2});
  }
  for (const WorldPoint& at : pans) {
    View.SetView(Zoom, at);
    FetchTiles(View, Tiles);
  }
  for (const int zoom : {Zoom - 1, Zoom + 1}) {
    View.SetView(zoom, Center);
    FetchTiles(View, Tiles);
  }
  std::vector<double> pan;
  std::vector<double> panCpu;
  std::vector<double> zoom;
  std::vector<double> zoomCpu;
  for (int round = 0; round < 30; ++round) {
    for (const WorldPoint& at : pans) {
      View.SetView(Zoom, at);
      const Sample s = RepaintMs(View);
      pan.push_back(s.WallMs);
      panCpu.push_back(s.CpuMs);
    }
    for (const int z : {Zoom - 1, Zoom, Zoom + 1, Zoom}) {
      View.SetView(z, Center);
      const Sample s = RepaintMs(View);
      zoom.push_back(s.WallMs);
      zoomCpu.push_back(s.CpuMs);
    }
  }
  const Figures p = Summary(pan);
  const Figures pc = Summary(panCpu);
  const Figures z = Summary(zoom);
  const Figures zc = Summary(zoomCpu);
  std::printf("%-26s zoom %2d  pan: median %5.2f ms (CPU %5.2f), worst %5.2f (CPU %5.2f)   "
              "zoom: median %5.2f ms (CPU %5.2f), worst %5.2f (CPU %5.2f)\n",
              Where, Zoom, p.Median, pc.Median, p.Worst, pc.Worst, z.Median, zc.Median, z.Worst,
              zc.Worst);
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  test::TileServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "map_bench: no port on 127.0.0.1\n");
    return 1;
  }
  const QTemporaryDir cache;
  TileSource tiles(server.Template(), cache.path(), 256LL << 20);

  const TrackSeries ride = Ride(65535);
  QElapsedTimer timer;
  timer.start();
  std::vector<MapTrack> tracks;
  tracks.emplace_back(ride);
  const double projectMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  MapView view;
  view.resize(1000, 700);
  view.SetTiles(&tiles);
  view.show();
  QApplication::processEvents();
  view.SetTracks(std::move(tracks), 0);
  view.SetCurrentPoint(30'000);
  view.FitTrack();
  const int fitted = view.Zoom();
  const WorldPoint center = view.Center();
  timer.restart();
  view.repaint();
  const double firstMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  std::printf("65,535 points: projected in %.2f ms; first draw at the fitted zoom %d (reducing "
              "the line for it, without tiles yet) %.2f ms\n",
              projectMs, fitted, firstMs);

  std::printf("points drawn at the fitted zoom: %zu\n", view.Tracks()[0].Simplified(fitted).size());
  Measure("whole track fitted", view, tiles, fitted, center);
  const WorldPoint middle = view.Tracks()[0].Points()[30'000];
  Measure("deep in, track mostly off", view, tiles, 16, middle);
  Measure("deepest zoom", view, tiles, kMaxZoom - 1, middle);
  std::printf("tile requests: %d for %d tiles\n", server.Requests(), server.Paths());
  return 0;
}
