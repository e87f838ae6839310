#include "viewer/graphs/track_graphs.hpp"

#include "analysis/geodesy.hpp"
#include "analysis/graph_reduce.hpp"
#include "support/date_time.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick::viewer {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMsToKmh = 3.6;
// A press and release closer than this (pixels) is a click, not a drag.
constexpr int kClickSlop = 4;

DateTime UtcOfMs(int64_t Ms) {
  return EncodeDate(1970, 1, 1) + static_cast<double>(Ms) / 86'400'000.0;
}

bool HasValues(const std::vector<double>& Column) {
  return std::any_of(Column.begin(), Column.end(), [](double V) { return !std::isnan(V); });
}

// Heart rate and cadence record 0 for a sample without a reading: a gap, not a drop to 0.
void ZerosAsGaps(std::vector<double>& Column) {
  std::replace(Column.begin(), Column.end(), 0.0, kNaN);
}

QCPRange ValueRange(const std::vector<const std::vector<double>*>& Columns, double Scale) {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (const std::vector<double>* column : Columns) {
    for (const double v : *column) {
      if (!std::isnan(v)) {
        lo = std::min(lo, v * Scale);
        hi = std::max(hi, v * Scale);
      }
    }
  }
  const double pad = hi > lo ? (hi - lo) * 0.06 : 1.0;
  return {lo - pad, hi + pad};
}

} // namespace

TrackGraphs::TrackGraphs(QWidget* Parent) : QCustomPlot(Parent) {
  setObjectName("trackGraphs");
  setAutoAddPlottableToLegend(false);
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  setNoAntialiasingOnDrag(true);
  setPlottingHint(QCP::phFastPolylines, true);
  plotLayout()->clear();
  // The hover and selection lines have a buffer of their own, so following the mouse repaints
  // them alone rather than every line.
  addLayer("cursor", layer("main"), QCustomPlot::limAbove);
  cursorLayer_ = layer("cursor");
  cursorLayer_->setMode(QCPLayer::lmBuffered);
  setMouseTracking(true);
  connect(this, &QCustomPlot::mouseMove, this, [this](QMouseEvent* Event) {
    if (Event->buttons() != Qt::NoButton) {
      return;
    }
    Hover(axisRectAt(Event->position()) != nullptr ? PointAtPixel(Event->position().x()) : -1);
  });
  connect(this, &QCustomPlot::mousePress, this,
          [this](QMouseEvent* Event) { pressedAt_ = Event->position().toPoint(); });
  connect(this, &QCustomPlot::mouseRelease, this, [this](QMouseEvent* Event) {
    const QPoint at = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton && (at - pressedAt_).manhattanLength() < kClickSlop &&
        axisRectAt(Event->position()) != nullptr) {
      const int point = PointAtPixel(at.x());
      if (point >= 0) {
        emit PointClicked(point);
      }
    }
  });
}

void TrackGraphs::SetTrack(const TrackSeries& Series, const TimeZone& Zone) {
  series_ = Series;
  zone_ = Zone;
  ZerosAsGaps(series_.HeartRate);
  ZerosAsGaps(series_.Cadence);
  timeKeys_.clear();
  distanceKeys_.clear();
  const std::vector<int64_t>& times = series_.TimeMs;
  // A GPX track may lack times (0) or have them out of order: it is drawn against distance.
  hasTimes_ = !series_.Empty() && std::find(times.begin(), times.end(), 0) == times.end() &&
              std::is_sorted(times.begin(), times.end());
  if (!hasTimes_ && !series_.Empty()) {
    axis_ = Axis::Distance;
  }
  if (hasTimes_) {
    // One offset for the whole track: keys must keep rising through a change of summer time.
    const double offset = Zone.OffsetMinutes(UtcOfMs(series_.TimeMs.front())) * 60.0;
    timeKeys_.reserve(series_.Size());
    for (const int64_t ms : series_.TimeMs) {
      timeKeys_.push_back(static_cast<double>(ms) / 1000.0 + offset);
    }
  }
  if (axis_ == Axis::Distance) {
    ComputeDistances();
  }
  marked_ = -1;
  hovered_ = -1;
  Rebuild();
}

void TrackGraphs::ComputeDistances() {
  if (distanceKeys_.empty() && !series_.Empty()) {
    distanceKeys_ = CumulativeDistanceM(series_);
    for (double& km : distanceKeys_) {
      km /= 1000.0;
    }
  }
}

void TrackGraphs::SetAxis(Axis Which) {
  if (Which == axis_ || (Which == Axis::Time && !hasTimes_ && !series_.Empty())) {
    return;
  }
  if (Which == Axis::Distance) {
    ComputeDistances();
  }
  // The same stretch of the track stays in view: its first and last point.
  size_t first = 0;
  size_t last = 0;
  const bool shown = !rects_.empty();
  if (shown) {
    const QCPRange range = rects_.front()->axis(QCPAxis::atBottom)->range();
    const std::vector<double>& keys = Keys();
    first =
        static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), range.lower) - keys.begin());
    last =
        static_cast<size_t>(std::upper_bound(keys.begin(), keys.end(), range.upper) - keys.begin());
  }
  axis_ = Which;
  const int marked = marked_;
  Rebuild();
  SetMarkedPoint(marked);
  const std::vector<double>& keys = Keys();
  if (shown && last > first + 1 && last <= keys.size() && keys[last - 1] > keys[first]) {
    rects_.front()->axis(QCPAxis::atBottom)->setRange(keys[first], keys[last - 1]);
  }
  replot();
}

const std::vector<double>& TrackGraphs::Keys() const {
  return axis_ == Axis::Distance ? distanceKeys_ : timeKeys_;
}

void TrackGraphs::Rebuild() {
  clearItems();
  clearGraphs();
  plotLayout()->clear();
  delete margins_;
  margins_ = nullptr;
  lines_.clear();
  rects_.clear();
  hoverLines_.clear();
  markLines_.clear();
  if (series_.Empty()) {
    replot();
    return;
  }
  margins_ = new QCPMarginGroup(this);
  const auto part = [](const QString& Name, const QString& Unit, const std::vector<double>& Values,
                       double Scale, int Decimals, const QColor& Color) {
    return Part{Name, Unit, &Values, Scale, Decimals, Color};
  };
  const auto plot = [&](const QString& Title, std::vector<Part> Parts) {
    Parts.erase(std::remove_if(Parts.begin(), Parts.end(),
                               [](const Part& P) { return !HasValues(*P.Values); }),
                Parts.end());
    if (!Parts.empty()) {
      AddPlot(Title, Parts);
    }
  };
  // The axes name only their unit: a graph is often lower than a whole title is long, and the
  // lines are named above it.
  plot("m",
       {part("pressure elevation", "m", series_.PressureElevation, 1, 0, QColor(46, 125, 50)),
        part("GPS elevation", "m", series_.GpsElevation, 1, 0, QColor(141, 110, 99))});
  plot("km/h",
       {part("GPS speed", "km/h", series_.GpsSpeed, kMsToKmh, 1, QColor(21, 101, 192)),
        part("sensor speed", "km/h", series_.SensorSpeed, kMsToKmh, 1, QColor(239, 108, 0))});
  plot("bpm",
       {part("heart rate", "bpm", series_.HeartRate, 1, 0, QColor(198, 40, 40))});
  plot("rpm", {part("cadence", "rpm", series_.Cadence, 1, 0, QColor(106, 27, 154))});
  if (rects_.empty()) {
    replot();
    return;
  }

  QSharedPointer<QCPAxisTicker> ticker;
  if (axis_ == Axis::Time) {
    auto clock = QSharedPointer<QCPAxisTickerDateTime>::create();
    clock->setDateTimeSpec(Qt::UTC);
    const bool days = timeKeys_.back() - timeKeys_.front() > 86'400;
    clock->setDateTimeFormat(days ? "d MMM\nhh:mm" : "hh:mm");
    ticker = clock;
  } else {
    ticker = QSharedPointer<QCPAxisTicker>::create();
  }
  ticker->setTickCount(TickCount());
  const std::vector<double>& keys = Keys();
  const double span = std::max(keys.back() - keys.front(), 1e-9);
  for (QCPAxisRect* rect : rects_) {
    QCPAxis* x = rect->axis(QCPAxis::atBottom);
    x->setTicker(ticker);
    x->setTickLabels(rect == rects_.back());
    x->setRange(keys.front(), keys.front() + span);
    connect(x, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, &TrackGraphs::KeepRange);
  }
  rects_.back()->axis(QCPAxis::atBottom)->setLabel(axis_ == Axis::Time ? "Time" : "Distance (km)");
  columns_ = 0;
  Reduce();
  replot();
}

void TrackGraphs::AddPlot(const QString& Title, const std::vector<Part>& Parts) {
  auto* rect = new QCPAxisRect(this);
  rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins_);
  rect->setRangeDrag(Qt::Horizontal);
  rect->setRangeZoom(Qt::Horizontal);
  QCPAxis* x = rect->axis(QCPAxis::atBottom);
  QCPAxis* y = rect->axis(QCPAxis::atLeft);
  y->setLabel(Title);
  std::vector<const std::vector<double>*> columns;
  columns.reserve(Parts.size());
  for (const Part& p : Parts) {
    columns.push_back(p.Values);
  }
  y->setRange(ValueRange(columns, Parts.front().Scale));
  // Two lines in one graph are named in a row above it, where they hide no data.
  QCPLegend* legend = nullptr;
  if (Parts.size() > 1) {
    legend = new QCPLegend;
    legend->setVisible(true);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setFont(font());
    legend->setMargins({4, 0, 4, 0});
    const int row = plotLayout()->rowCount();
    plotLayout()->addElement(row, 0, legend);
    plotLayout()->setRowStretchFactor(row, 0.001);
    legend->setLayer("legend"); // once it belongs to the plot
  }
  plotLayout()->addElement(plotLayout()->rowCount(), 0, rect);
  for (const Part& p : Parts) {
    QCPGraph* graph = addGraph(x, y);
    graph->setName(p.Name);
    // A one-pixel pen: wider antialiased lines over thousands of points cost the raster
    // engine several times more.
    QPen pen(p.Color, 1);
    pen.setCosmetic(true);
    graph->setPen(pen);
    graph->setAdaptiveSampling(false); // already reduced
    if (legend != nullptr) {
      graph->addToLegend(legend);
    }
    lines_.push_back({graph, p});
  }
  const auto cursor = [&](const QPen& Pen) {
    auto* line = new QCPItemStraightLine(this);
    line->setLayer(cursorLayer_);
    line->setClipAxisRect(rect);
    line->setPen(Pen);
    line->point1->setAxes(x, y);
    line->point2->setAxes(x, y);
    line->setVisible(false);
    line->setSelectable(false);
    return line;
  };
  hoverLines_.push_back(cursor(QPen(QColor(90, 90, 90), 1, Qt::DashLine)));
  markLines_.push_back(cursor(QPen(QColor(229, 57, 53), 2)));
  rects_.push_back(rect);
}

void TrackGraphs::KeepRange(const QCPRange& Range) {
  if (syncing_ || rects_.empty()) {
    return;
  }
  // Never beyond the track, and every graph shows the same stretch.
  const std::vector<double>& keys = Keys();
  const double full = keys.back() - keys.front();
  QCPRange kept = Range;
  if (kept.size() > full) {
    kept = {keys.front(), keys.back()};
  } else if (kept.lower < keys.front()) {
    kept = {keys.front(), keys.front() + Range.size()};
  } else if (kept.upper > keys.back()) {
    kept = {keys.back() - Range.size(), keys.back()};
  }
  syncing_ = true;
  for (QCPAxisRect* rect : rects_) {
    rect->axis(QCPAxis::atBottom)->setRange(kept);
  }
  syncing_ = false;
  Reduce();
}

void TrackGraphs::Reduce() {
  if (rects_.empty()) {
    return;
  }
  columns_ = std::max(1, width());
  const QCPRange range = rects_.front()->axis(QCPAxis::atBottom)->range();
  const std::vector<double>& keys = Keys();
  for (const Line& line : lines_) {
    const GraphLine reduced =
        ReduceToColumns(keys, *line.What.Values, range.lower, range.upper, columns_);
    QVector<QCPGraphData> data(static_cast<qsizetype>(reduced.Size()));
    for (size_t i = 0; i < reduced.Size(); ++i) {
      data[static_cast<qsizetype>(i)] = {reduced.X[i], reduced.Y[i] * line.What.Scale};
    }
    line.Graph->data()->set(data, true);
  }
}

int TrackGraphs::TickCount() const {
  // Labels about 90 pixels apart: a narrow pane still reads them.
  return std::clamp(width() / 90, 2, 8);
}

void TrackGraphs::resizeEvent(QResizeEvent* Event) {
  QCustomPlot::resizeEvent(Event);
  if (!rects_.empty()) {
    rects_.front()->axis(QCPAxis::atBottom)->ticker()->setTickCount(TickCount());
  }
  if (width() != columns_) {
    Reduce();
  }
}

void TrackGraphs::leaveEvent(QEvent* Event) {
  QCustomPlot::leaveEvent(Event);
  Hover(-1);
}

void TrackGraphs::ShowAt(const std::vector<QCPItemStraightLine*>& Lines, int Point) {
  const std::vector<double>& keys = Keys();
  const bool shown = Point >= 0 && static_cast<size_t>(Point) < keys.size();
  for (QCPItemStraightLine* line : Lines) {
    line->setVisible(shown);
    if (shown) {
      const double key = keys[static_cast<size_t>(Point)];
      line->point1->setCoords(key, 0);
      line->point2->setCoords(key, 1);
    }
  }
}

void TrackGraphs::Hover(int Point) {
  if (Point == hovered_) {
    return;
  }
  hovered_ = Point;
  ShowAt(hoverLines_, Point);
  cursorLayer_->replot();
  emit PointHovered(Point);
}

void TrackGraphs::SetMarkedPoint(int Point) {
  marked_ = Point >= 0 && static_cast<size_t>(Point) < series_.Size() ? Point : -1;
  ShowAt(markLines_, marked_);
  cursorLayer_->replot();
}

QStringList TrackGraphs::GraphTitles() const {
  QStringList titles;
  for (const QCPAxisRect* rect : rects_) {
    titles.append(rect->axis(QCPAxis::atLeft)->label());
  }
  return titles;
}

int TrackGraphs::PointAtPixel(double X) const {
  const std::vector<double>& keys = Keys();
  if (rects_.empty() || keys.empty()) {
    return -1;
  }
  const double key = rects_.front()->axis(QCPAxis::atBottom)->pixelToCoord(X);
  const auto after = std::lower_bound(keys.begin(), keys.end(), key);
  if (after == keys.begin()) {
    return 0;
  }
  if (after == keys.end()) {
    return static_cast<int>(keys.size()) - 1;
  }
  const auto before = after - 1;
  return static_cast<int>((key - *before <= *after - key ? before : after) - keys.begin());
}

double TrackGraphs::PixelOfPoint(int Point) const {
  const std::vector<double>& keys = Keys();
  if (rects_.empty() || Point < 0 || static_cast<size_t>(Point) >= keys.size()) {
    return kNaN;
  }
  return rects_.front()->axis(QCPAxis::atBottom)->coordToPixel(keys[static_cast<size_t>(Point)]);
}

QString TrackGraphs::ValuesText(int Point) const {
  if (Point < 0 || static_cast<size_t>(Point) >= series_.Size()) {
    return {};
  }
  const auto at = static_cast<size_t>(Point);
  QStringList parts;
  if (hasTimes_) {
    parts.append(QString::fromStdString(
        FormatDateTime("hh:nn:ss", zone_.FromUtc(UtcOfMs(series_.TimeMs[at])))));
  }
  if (!distanceKeys_.empty()) {
    parts.append(QString::number(distanceKeys_[at], 'f', 2) + " km");
  }
  for (const Line& line : lines_) {
    const double value = (*line.What.Values)[at];
    if (!std::isnan(value)) {
      parts.append(line.What.Name + " " +
                   QString::number(value * line.What.Scale, 'f', line.What.Decimals) + " " +
                   line.What.Unit);
    }
  }
  return parts.join("  ·  ");
}

} // namespace tarnwick::viewer
