// The viewer's responsiveness with a full memory (65,535 records), offscreen: opening and
// showing an image until the window has painted, painting one screen of the raw records'
// grid, the resident memory the loaded image adds, and the longest time the GUI thread goes
// without processing events during a download from a simulated logger on a pseudo-terminal.
// The graphs of a 65,535-point ride: shown, zoomed, panned, hovered, switched to distance.
// A timed program rather than Google Benchmark: each figure needs a window and an event loop.
// "viewer_bench graphs" times the graphs alone.
#include "analysis/track_series.hpp"
#include "app/image_session.hpp"
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "present/grid_helpers.hpp"
#include "sim/sample_image.hpp"
#include "sim/sim_device_source.hpp"
#include "sim/sim_pty_host.hpp"
#include "viewer/graphs/track_graphs.hpp"
#include "viewer/models/flag_filter_model.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/map_view.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/main_form.hpp"
#include "viewer/windows/progress_dialog.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tarnwick;

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[Values.size() / 2];
}

// CPU time of the calling thread: a pause of the GUI thread that is not its own work is the
// machine running other threads.
qint64 ThreadCpuNs() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Resident set size in KiB.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

// Milliseconds that Action takes.
template <class Action>
double Milliseconds(const Action& Run) {
  QElapsedTimer timer;
  timer.start();
  Run();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The raw records' grid of a full memory as the window builds it (its model under the flag
// filter, sorted by the view), without the window: sorting by each kind of key, a change of
// the flag filter while sorted, and one screen painted while sorted.
void BenchGridSorting() {
  const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 65535, 3});
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  TPointsDumpGridHelper helper(viewer::LocaleDecimalSeparator());
  viewer::GridModel model(helper);
  viewer::FlagFilterModel filter([&points](int Row) -> std::optional<int> {
    if (Row >= points.Points().Count()) {
      return std::nullopt;
    }
    return points.Points()[Row].Flags();
  });
  filter.setSourceModel(&model);
  viewer::GridView view("grdPointsDump");
  view.SetGridModel(&model, &filter);
  view.resize(760, 420);
  view.show();
  helper.SetPoints(&points);
  QApplication::processEvents();

  // Median of 5 of a sort by column Col (the keys of a column are computed once, at its first
  // sort, which the median leaves out), each after a return to the written order.
  const auto sort = [&view](int Col, Qt::SortOrder Order) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
      view.SortByColumn(-1, Qt::AscendingOrder);
      times.push_back(Milliseconds([&] { view.SortByColumn(Col, Order); }));
    }
    return Median(times);
  };
  std::printf("sort the points-dump grid (%d records; median of 5):\n", helper.DataCount());
  std::printf("  by Time, keys computed: %.1f ms\n",
              Milliseconds([&] { view.SortByColumn(2, Qt::AscendingOrder); }));
  std::printf("  by Time: %.1f ms\n", sort(2, Qt::AscendingOrder));
  std::printf("  by Time, descending: %.1f ms\n", sort(2, Qt::DescendingOrder));
  std::printf("  by Flag: %.1f ms\n", sort(1, Qt::AscendingOrder));
  std::printf("  by Data (text keys): %.1f ms\n", sort(3, Qt::AscendingOrder));
  std::vector<double> restore;
  for (int run = 0; run < 5; ++run) {
    view.SortByColumn(2, Qt::DescendingOrder);
    restore.push_back(Milliseconds([&] { view.SortByColumn(-1, Qt::AscendingOrder); }));
  }
  std::printf("  back to the written order from Time, descending: %.1f ms\n", Median(restore));
  view.SortByColumn(2, Qt::AscendingOrder);
  const int flag = points.Points()[0].Flags();
  std::vector<double> on;
  std::vector<double> off;
  for (int run = 0; run < 5; ++run) {
    on.push_back(Milliseconds([&] { filter.SetFlag(flag); }));
    off.push_back(Milliseconds([&] { filter.SetFlag(std::nullopt); }));
  }
  std::printf("  flag filter on while sorted by Time: %.1f ms\n", Median(on));
  std::printf("  flag filter off while sorted by Time: %.1f ms\n", Median(off));

  std::vector<double> paint;
  for (int run = 0; run < 50; ++run) {
    view.scrollTo(view.model()->index(run * 1000, 1), QAbstractItemView::PositionAtTop);
    paint.push_back(Milliseconds([&view] { view.viewport()->repaint(); }));
  }
  std::printf("paint one screen of the points-dump grid sorted by Time: %.2f ms (median of 50; "
              "target <= 5)\n",
              Median(paint));
  view.setModel(nullptr);
}

// A ride of Points points one second apart, with everything a logger with a barometer and
// a belt, a cadence and a wheel sensor records.
TrackSeries LongRide(size_t Points) {
  TrackSeries s;
  s.Name = "long ride";
  const int64_t start = 1'781'942'400'000; // 2026-06-20 08:00 UTC
  double lat = 60.17;
  double lon = 24.94;
  for (size_t i = 0; i < Points; ++i) {
    const double t = static_cast<double>(i);
    const double speed = 6.5 + 2.5 * std::sin(t / 240) + 0.4 * std::sin(t / 7);
    lat += speed * std::cos(t / 3000) / 111'000;
    lon += speed * std::sin(t / 3000) / 55'000;
    s.TimeMs.push_back(start + static_cast<int64_t>(i) * 1000);
    s.Latitude.push_back(lat);
    s.Longitude.push_back(lon);
    s.PressureElevation.push_back(80 + 60 * std::sin(t / 1800) + 8 * std::sin(t / 130));
    s.GpsElevation.push_back(s.PressureElevation.back() + 4 * std::sin(t / 11));
    s.GpsSpeed.push_back(speed);
    s.SensorSpeed.push_back(speed * 0.98);
    s.HeartRate.push_back(i % 900 == 0 ? 0 : 128 + 25 * std::sin(t / 600) + 5 * std::sin(t / 40));
    s.Cadence.push_back(speed < 4.5 ? 0 : 82 + 6 * std::sin(t / 90));
  }
  return s;
}

double ThreadCpuMs(qint64 From) {
  return static_cast<double>(ThreadCpuNs() - From) / 1e6;
}

// Elapsed and CPU time of the GUI thread for Run, median of Runs.
template <class Action>
void Time(const char* What, int Runs, double Target, const Action& Run) {
  std::vector<double> wall;
  std::vector<double> cpu;
  for (int run = 0; run < Runs; ++run) {
    const qint64 cpuFrom = ThreadCpuNs();
    wall.push_back(Milliseconds([&] { Run(run); }));
    cpu.push_back(ThreadCpuMs(cpuFrom));
  }
  std::printf("%s: %.1f ms (GUI thread's CPU %.1f ms; median of %d; target <= %.0f)\n", What,
              Median(wall), Median(cpu), Runs, Target);
}

void BenchGraphs() {
  const TrackSeries ride = LongRide(65535);
  QWidget window;
  window.resize(900, 700);
  auto* graphs = new viewer::TrackGraphs(&window);
  graphs->setGeometry(0, 0, 900, 700);
  window.show();
  QApplication::processEvents();
  const TimeZone zone = TimeZone::Named("Europe/Helsinki");

  Time("graphs of a 65,535-point ride shown (4 graphs, 6 lines)", 7, 100, [&](int) {
    graphs->SetTrack(ride, zone);
    graphs->repaint();
  });
  int points = 0;
  for (int i = 0; i < graphs->graphCount(); ++i) {
    points += graphs->graph(i)->dataCount();
  }
  std::printf("  points drawn after the reduction: %d of %zu\n", points, 6 * ride.Size());
  QCPAxis* x = graphs->axisRect(0)->axis(QCPAxis::atBottom);
  Time("zoom in one wheel step, redrawn", 40, 16, [&](int) {
    x->scaleRange(0.85, x->range().center());
    graphs->replot(QCustomPlot::rpImmediateRefresh);
  });
  Time("pan by a twentieth, redrawn", 40, 16, [&](int run) {
    x->moveRange((run % 20 < 10 ? 1 : -1) * x->range().size() / 20);
    graphs->replot(QCustomPlot::rpImmediateRefresh);
  });
  graphs->SetTrack(ride, zone);
  x = graphs->axisRect(0)->axis(QCPAxis::atBottom); // a new track brings new axes
  Time("zoom out to the whole ride, redrawn", 20, 16, [&](int run) {
    x->scaleRange(run % 2 == 0 ? 0.5 : 2.0, x->range().center());
    graphs->replot(QCustomPlot::rpImmediateRefresh);
  });
  Time("hover moved, cursor redrawn", 50, 16, [&](int run) {
    const QPointF at(100 + run * 13, graphs->axisRect(0)->rect().center().y());
    QMouseEvent move(QEvent::MouseMove, at, graphs->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(graphs, &move);
    graphs->repaint();
  });
  Time("switch to distance (65,535 geodesic distances) and back, redrawn", 5, 100, [&](int) {
    graphs->SetTrack(ride, zone);
    graphs->SetAxis(viewer::TrackGraphs::Axis::Distance);
    graphs->repaint();
    graphs->SetAxis(viewer::TrackGraphs::Axis::Time);
  });
}

// A ride of Count points a second apart, heading east from Munich with a slow climb, heart
// rate and cadence in TrackPointExtension v2: the file a watch or our export would write.
void WriteRideGpx(const std::string& FileName, int Count) {
  std::ofstream out(FileName);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
         "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
         "<trk><name>ride</name><trkseg>\n";
  char line[400];
  for (int i = 0; i < Count; ++i) {
    const int s = i % 60;
    const int m = i / 60 % 60;
    const int h = 6 + i / 3600;
    std::snprintf(
        line, sizeof line,
        "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%.1f</ele>"
        "<time>2026-06-%02dT%02d:%02d:%02dZ</time><extensions><gpxtpx:TrackPointExtension>"
        "<gpxtpx:hr>%d</gpxtpx:hr><gpxtpx:cad>%d</gpxtpx:cad>"
        "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
        48.137 + 0.01 * std::sin(i / 900.0), 11.575 + i * 0.00008, 520 + 80 * std::sin(i / 2000.0),
        20 + h / 24, h % 24, m, s, 120 + (i / 37) % 50, 80 + (i / 11) % 15);
    out << line;
  }
  out << "</trkseg></trk>\n</gpx>\n";
}

// The median of 5 times a new 1280x900 window opened Gpx and painted; Check looks at each
// window afterwards.
template <class F>
double OpenGpxAndPaint(const app::Settings& Settings, const std::string& Gpx, const F& Check) {
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    viewer::TMainForm form(Settings, nullptr, false);
    form.resize(1280, 900);
    form.show();
    QApplication::processEvents();
    times.push_back(Milliseconds([&] {
      form.LoadFile(QString::fromStdString(Gpx));
      form.repaint();
    }));
    Check(form);
  }
  return Median(times);
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  BenchGraphs();
  if (argc > 1 && std::strcmp(argv[1], "graphs") == 0) {
    return 0;
  }
  const std::string folder = std::filesystem::temp_directory_path() /
                             ("tarnwick-viewer-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ::setenv("TARNWICK_SIM_DIR", (folder + "/sim").c_str(), 1);
  std::filesystem::create_directories(folder + "/sim");
  std::filesystem::permissions(folder + "/sim", std::filesystem::perms::owner_all);
  const std::string base = folder + "/full";
  sim::GenerateSampleImage({sim::SampleFamily::GT900, 65535, 3}).SaveToFile(base);

  app::Settings settings;
  settings.Debug = true;

  // Open and show until painted.
  std::vector<double> open;
  long residentGrowth = 0;
  for (int run = 0; run < 5; ++run) {
    viewer::TMainForm form(settings, nullptr, false);
    form.show();
    QApplication::processEvents();
    form.repaint();
    const long before = ResidentKiB();
    QElapsedTimer timer;
    timer.start();
    form.LoadFile(QString::fromStdString(base));
    form.repaint();
    open.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    if (run == 0) {
      residentGrowth = ResidentKiB() - before;
    }
  }
  std::printf("open and paint a 65,535-record image: %.1f ms (median of 5; target <= 200)\n",
              Median(open));
  std::printf("resident memory growth when the image is loaded: %.1f MiB (target <= 32)\n",
              static_cast<double>(residentGrowth) / 1024);

  // The same memory as our GPX file, opened until the window with its graphs has painted.
  {
    app::ImageSession image;
    image.Open(base);
    std::vector<const TIGotUTrack*> tracks;
    size_t points = 0;
    for (int i = 1; i <= image.Points()->Tracks().Count(); ++i) {
      tracks.push_back(&image.TrackByNumber(i));
      points += tracks.back()->Points().size();
    }
    const std::string gpx = folder + "/full.gpx";
    app::ImageSession::Export(tracks, gpx, {}, nullptr);
    const double ms = OpenGpxAndPaint(settings, gpx, [](viewer::TMainForm&) {});
    std::printf("open and paint our GPX file of that memory (%zu track points in %zu tracks), "
                "graphs of the first track drawn: %.1f ms (median of 5; target <= 1000)\n",
                points, tracks.size(), ms);
  }

  // One ride of 65,535 points with heart rate and cadence, as a GPX file, opened until the
  // window has painted its map and its graphs.
  {
    const std::string gpx = folder + "/ride.gpx";
    WriteRideGpx(gpx, 65535);
    size_t drawn = 0;
    const double ms = OpenGpxAndPaint(settings, gpx, [&](viewer::TMainForm& Form) {
      const auto* map = Form.findChild<viewer::MapPane*>("mapPane");
      const auto* graphs = Form.findChild<viewer::TrackGraphs*>();
      drawn = map->isVisible() && graphs->isVisible() && map->View()->Tracks().size() == 1
                  ? static_cast<size_t>(graphs->graph(0)->dataCount())
                  : 0;
    });
    std::printf("open and paint a GPX ride of 65,535 points, map and graphs drawn (%s; first "
                "graph %zu points after reduction): %.1f ms (median of 5; target <= 1000)\n",
                drawn > 0 ? "both shown" : "NOT SHOWN", drawn, ms);
  }

  // One screen of the raw records' grid.
  {
    viewer::TMainForm form(settings, nullptr, false);
    form.show();
    form.LoadFile(QString::fromStdString(base));
    auto* pages = form.findChild<QTabWidget*>("PageControl1");
    pages->setCurrentWidget(form.findChild<QWidget*>("tshPointsDump"));
    auto* grid = form.findChild<QTableView*>("grdPointsDump");
    QApplication::processEvents();
    std::vector<double> paint;
    for (int run = 0; run < 50; ++run) {
      grid->scrollTo(grid->model()->index(run * 1000, 1), QAbstractItemView::PositionAtTop);
      QElapsedTimer timer;
      timer.start();
      grid->viewport()->repaint();
      paint.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::vector<double> format;
    for (int run = 0; run < 50; ++run) {
      QElapsedTimer timer;
      timer.start();
      for (int row = run * 1000; row < run * 1000 + 19; ++row) {
        for (int col = 0; col < 4; ++col) {
          (void)grid->model()->data(grid->model()->index(row, col));
        }
      }
      format.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("paint one screen of the points-dump grid (%d rows): %.2f ms (median of 50; "
                "target <= 5)\n",
                grid->viewport()->height() / grid->rowHeight(0) + 1, Median(paint));
    std::printf("  of which formatting its cells: %.3f ms\n", Median(format));
  }

  BenchGridSorting();

  // Download from a simulated logger at the default link rate.
  {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 10000, 3});
    sim::SimLoggerOptions options;
    sim::SimPtyHost host(image, options);
    host.Start();
    sim::SimRegistration registration(host.SlavePath(), options.ProductID, options.Revision,
                                      "bench logger");
    viewer::TMainForm form(settings, nullptr, false);
    form.show();
    form.ScanDevices();
    if (form.Link().Port() == nullptr) {
      std::printf("download: the simulated logger was not found\n");
      return 1;
    }
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    int longestAt = -1;    // the bar's position when the longest gap ended
    qint64 longestCpu = 0; // of the longest gap, the time the GUI thread was running
    qint64 lastCpu = ThreadCpuNs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      const qint64 cpu = ThreadCpuNs();
      auto* dialog = viewer::TProgressDialog::Current();
      if (last >= 0 && dialog != nullptr && now - last > longest) {
        longest = now - last;
        longestCpu = cpu - lastCpu;
        longestAt = dialog->findChild<QProgressBar*>("ProgressBar1")->value();
      }
      last = now;
      lastCpu = cpu;
    });
    clock.start();
    tick.start(1);
    QElapsedTimer whole;
    whole.start();
    form.Download();
    tick.stop();
    std::printf("download of 10,000 records (%s): %.1f s; longest GUI gap %.1f ms at block %d, "
                "of which the GUI thread ran %.1f ms (target <= 50)\n",
                form.WholeData() != nullptr ? "complete" : "FAILED",
                static_cast<double>(whole.elapsed()) / 1000, static_cast<double>(longest) / 1e6,
                longestAt, static_cast<double>(longestCpu) / 1e6);
    registration.Remove();
    host.Stop();
  }
  std::filesystem::remove_all(folder);
  return 0;
}
