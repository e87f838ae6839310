// The graphs beside the pages: what a track has is drawn, reduced to the pixels; the selection
// follows between the graphs and the grids; hover, zoom and the switch to distance.
#include "analysis/track_stats.hpp"
#include "app/stats_figures.hpp"
#include "sim/sample_image.hpp"
#include "viewer/graphs/track_graphs.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/stats_pane.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QRadioButton>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>

#include <cmath>

namespace tarnwick::viewer {

namespace {

using test::Save;
using test::Window;

// Sends a mouse event of Type at the horizontal pixel X, in the middle of the top graph.
void Mouse(TrackGraphs* Graphs, QEvent::Type Type, double X) {
  const QPointF at(X, Graphs->axisRect(0)->rect().center().y());
  const Qt::MouseButton button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = Type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent event(Type, at, Graphs->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(Graphs, &event);
}

void Click(TrackGraphs* Graphs, double X) {
  Mouse(Graphs, QEvent::MouseButtonPress, X);
  Mouse(Graphs, QEvent::MouseButtonRelease, X);
}

double Highest(const std::vector<double>& Column) {
  double best = -INFINITY;
  for (const double v : Column) {
    if (!std::isnan(v)) {
      best = std::max(best, v);
    }
  }
  return best;
}

// A window with a GT-900 image (samples) of Points points, shown at a desktop's size.
struct Shown {
  explicit Shown(int Points) {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, Points, 21});
    QVERIFY(W.Form->LoadFile(Save(Dir, image, "ride")));
    W.Form->resize(1400, 900);
    W.Form->show();
    QApplication::processEvents();
    Graphs = W.Find<TrackGraphs>("trackGraphs");
    Graphs->replot();
  }
  const TrackSeries& Series(int Track = 0) const {
    return W.Form->Session().Session().Series()[static_cast<size_t>(Track)];
  }
  test::TempDir Dir;
  Window W;
  TrackGraphs* Graphs = nullptr;
};

} // namespace

class GraphsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void DrawWhatTheTrackHasReducedToThePixels() {
    const Shown s(20000);
    auto* right = s.W.Find<QSplitter>("splitRight");
    auto* tabs = s.W.Find<QTabWidget>("tabsAnalysis");
    QCOMPARE(tabs->parentWidget(), right);
    QCOMPARE(tabs->tabText(0), QString("Graphs"));
    QVERIFY(s.Graphs->isVisible());

    const TrackSeries& series = s.Series();
    QStringList expected;
    if (!series.Elevation().empty()) {
      expected << "m";
    }
    if (!series.GpsSpeed.empty() || !series.SensorSpeed.empty()) {
      expected << "km/h";
    }
    if (!series.HeartRate.empty()) {
      expected << "bpm";
    }
    if (!series.Cadence.empty()) {
      expected << "rpm";
    }
    QCOMPARE(s.Graphs->GraphTitles(), expected);
    QVERIFY2(expected.contains("bpm"), "the sample image has heart-rate samples");
    // Two lines in one graph are named in a legend that belongs to the plot.
    int legends = 0;
    for (int i = 0; i < s.Graphs->plotLayout()->elementCount(); ++i) {
      if (auto* legend = qobject_cast<QCPLegend*>(s.Graphs->plotLayout()->elementAt(i))) {
        ++legends;
        QCOMPARE(legend->parentPlot(), static_cast<QCustomPlot*>(s.Graphs));
        QVERIFY(legend->layer() != nullptr);
        QCOMPARE(legend->itemCount(), 2);
      }
    }
    QCOMPARE(legends, (series.GpsElevation.empty() || series.PressureElevation.empty() ? 0 : 1) +
                          (series.GpsSpeed.empty() || series.SensorSpeed.empty() ? 0 : 1));

    // Every line is reduced to at most two points per pixel column (and the track's ends), and
    // keeps its highest value.
    for (int i = 0; i < s.Graphs->graphCount(); ++i) {
      QCPGraph* graph = s.Graphs->graph(i);
      QVERIFY2(graph->dataCount() <= 2 * s.Graphs->width() + 4, qPrintable(graph->name()));
      QVERIFY(graph->dataCount() > 10);
      if (graph->name() == "heart rate") {
        bool found = false;
        QCOMPARE(graph->getValueRange(found).upper, Highest(series.HeartRate));
      }
    }
  }

  void StatisticsFollowTheTrackAndTheHeartRatePreferences() {
    const Shown s(3000);
    auto* pane = s.W.Find<StatsPane>("statsPane");
    auto* figures = s.W.Find<QTableWidget>("grdStatsFigures");
    auto* zones = s.W.Find<QTableWidget>("grdHrZones");
    const auto cell = [](QTableWidget* Table, const QString& First) {
      for (int r = 0; r < Table->rowCount(); ++r) {
        if (Table->item(r, 0)->text() == First) {
          return Table->item(r, 1)->text();
        }
      }
      return QString();
    };
    const auto distance = [](const TrackStats& Stats) {
      return QString::fromStdString(app::FigureText(Stats.DistanceM, 1)) + " m";
    };
    const int track = s.W.Form->findChild<Selection*>()->Track();
    QVERIFY(track >= 0);
    const TrackStats plain = ComputeTrackStats(s.Series(track));
    QVERIFY(plain.HasHeartRate);
    QCOMPARE(cell(figures, "Distance"), distance(plain));
    QCOMPARE(cell(zones, "1"), QString("95 bpm"));

    // Zones of another maximum and other limits, as the preferences give them.
    StatsSettings own;
    own.MaxHeartRate = 150;
    own.ZonePercent = {40, 55, 70, 85, 95};
    SaveHeartRatePreferences(own);
    pane->Reload();
    QCOMPARE(cell(zones, "1"), QString("60 bpm"));
    QCOMPARE(cell(zones, "5"), QString("143 bpm"));
    const TrackStats byOwn = ComputeTrackStats(s.Series(track), own);
    QCOMPARE(pane->Shown().HeartRateZoneS, byOwn.HeartRateZoneS);
    QVERIFY(byOwn.HeartRateZoneS != plain.HeartRateZoneS);

    // Limits that do not rise, edited by hand, fall back to the defaults.
    QSettings().setValue("heartRate/zonePercent", QStringList{"50", "40", "70", "80", "90"});
    pane->Reload();
    QCOMPARE(cell(zones, "1"), QString("75 bpm"));

    // Another track: its own figures.
    if (s.W.Rows("grdTracks") > 1) {
      s.W.Find<GridView>("grdTracks")->SelectItem(1);
      QCOMPARE(cell(figures, "Distance"), distance(ComputeTrackStats(s.Series(1))));
    }
  }

  void SelectionFollowsBetweenGraphsAndGrids() {
    const Shown s(3000);
    const int count = static_cast<int>(s.Series().Size());
    auto* points = s.W.Find<GridView>("grdTrackPoints");

    // A click selects the nearest point's row.
    const int clicked = count / 3;
    Click(s.Graphs, s.Graphs->PixelOfPoint(clicked));
    const int selected = points->CurrentItem();
    QVERIFY(std::abs(selected - clicked) <= 2);
    QCOMPARE(s.Graphs->MarkedPoint(), selected);
    QVERIFY(!s.W.Text("lblGraphValues").isEmpty());

    // A row selected in the grid is marked in the graphs.
    points->SelectItem(count / 2);
    QCOMPARE(s.Graphs->MarkedPoint(), count / 2);

    // Hovering shows that moment's values, on the grid's clock.
    const int hovered = 2 * count / 3;
    Mouse(s.Graphs, QEvent::MouseMove, s.Graphs->PixelOfPoint(hovered));
    const int under = s.Graphs->PointAtPixel(s.Graphs->PixelOfPoint(hovered));
    const QString values = s.W.Text("lblGraphValues");
    QCOMPARE(values, s.Graphs->ValuesText(under));
    QVERIFY2(values.startsWith(s.W.Cell("grdTrackPoints", under, 2).right(8)), qPrintable(values));
    QVERIFY(values.contains("heart rate"));

    // Against distance: the mark stays, pixels still map to points, the values add the km.
    s.W.Find<QRadioButton>("rdoGraphDistance")->click();
    QCOMPARE(s.Graphs->CurrentAxis(), TrackGraphs::Axis::Distance);
    QCOMPARE(s.Graphs->MarkedPoint(), count / 2);
    QCOMPARE(s.Graphs->PointAtPixel(s.Graphs->PixelOfPoint(hovered)), under);
    QVERIFY(s.Graphs->ValuesText(under).contains(" km"));

    // Another track starts unmarked.
    if (s.W.Rows("grdTracks") > 1) {
      s.W.Find<GridView>("grdTracks")->SelectItem(1);
      QCOMPARE(s.Graphs->MarkedPoint(), -1);
      QCOMPARE(s.Graphs->PixelOfPoint(static_cast<int>(s.Series(1).Size()) - 1),
               s.Graphs->axisRect(0)
                   ->axis(QCPAxis::atBottom)
                   ->coordToPixel(s.Graphs->axisRect(0)->axis(QCPAxis::atBottom)->range().upper));
    }
  }

  void ZoomAndPanMoveAllGraphsWithinTheTrack() {
    const Shown s(20000);
    const int rects = s.Graphs->axisRectCount();
    QVERIFY(rects >= 2);
    QCPAxis* top = s.Graphs->axisRect(0)->axis(QCPAxis::atBottom);
    const QCPRange full = top->range();

    // The wheel zooms in around the mouse; every graph follows, drawn in detail again.
    const QPointF at = s.Graphs->axisRect(0)->rect().center();
    QWheelEvent wheel(at, s.Graphs->mapToGlobal(at), {}, {0, 960}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(s.Graphs, &wheel);
    const QCPRange zoomed = top->range();
    QVERIFY(zoomed.size() < full.size() / 2);
    for (int i = 1; i < rects; ++i) {
      QCOMPARE(s.Graphs->axisRect(i)->axis(QCPAxis::atBottom)->range(), zoomed);
    }
    for (int i = 0; i < s.Graphs->graphCount(); ++i) {
      const QCPGraph* graph = s.Graphs->graph(i);
      QVERIFY(graph->dataCount() <= 2 * s.Graphs->width() + 4);
      QVERIFY(graph->data()->constBegin()->key <= zoomed.lower);
      QVERIFY((graph->data()->constEnd() - 1)->key >= zoomed.upper);
    }

    // Panning stops at the track's start, keeping the zoom.
    top->setRange(full.lower - full.size(), full.lower - full.size() + zoomed.size());
    QCOMPARE(s.Graphs->axisRect(rects - 1)->axis(QCPAxis::atBottom)->range().lower, full.lower);
    QVERIFY(std::abs(top->range().size() - zoomed.size()) < 1e-6 * full.size());
  }
};

} // namespace tarnwick::viewer

QObject* CreateGraphsTest() {
  return new tarnwick::viewer::GraphsTest;
}

#include "graphs_test.moc"
