#pragma once

#include "analysis/track_series.hpp"
#include "support/time_zone.hpp"

#include <qcustomplot.h>

#include <QString>
#include <QStringList>

#include <vector>

namespace tarnwick::viewer {

/// One track's elevation, speed, heart-rate and cadence graphs, stacked on a shared horizontal
/// axis of time or distance; only what the track has is drawn. Each line is reduced to the
/// lowest and highest value per pixel column of the part shown, again at every zoom and pan,
/// so a full logger memory draws as fast as a short ride and keeps its peaks. Dragging pans,
/// the wheel zooms (both horizontally, all graphs together); hovering reports the point under
/// the mouse, a click the point to select; the selected point is marked with a line.
class TrackGraphs : public QCustomPlot {
  Q_OBJECT

 public:
  enum class Axis { Time, Distance };

  explicit TrackGraphs(QWidget* Parent = nullptr);

  /// Draws Series (an empty one: nothing) with times on Zone's wall clock. The zoom goes back
  /// to the whole track and the mark to none.
  void SetTrack(const TrackSeries& Series, const TimeZone& Zone);
  /// Draws against Axis from now on, keeping the part of the track shown.
  void SetAxis(Axis Which);
  Axis CurrentAxis() const { return axis_; }
  /// Marks Point (-1: none).
  void SetMarkedPoint(int Point);
  int MarkedPoint() const { return marked_; }

  bool HasTrack() const { return !series_.Empty(); }
  /// Whether the track's points all have times, in order: else it is drawn against distance.
  bool HasTimes() const { return hasTimes_; }
  /// The quantity of each graph shown, top to bottom ("Elevation (m)", ...).
  QStringList GraphTitles() const;
  /// The point whose time or distance is nearest to the horizontal pixel X (-1: none).
  int PointAtPixel(double X) const;
  /// The horizontal pixel of Point (within the graphs' width when it is shown).
  double PixelOfPoint(int Point) const;
  /// The values of Point for a person, on one line: its time, distance (once known), and
  /// what the track records there.
  QString ValuesText(int Point) const;

 signals:
  /// The mouse is over Point (-1: it left the graphs).
  void PointHovered(int Point);
  /// A click (not a drag) chose Point.
  void PointClicked(int Point);

 private:
  /// What one line draws: a column of the series, scaled (m/s to km/h).
  struct Part {
    QString Name; ///< in the values text: "GPS speed"
    QString Unit;
    const std::vector<double>* Values;
    double Scale;
    int Decimals;
    QColor Color;
  };
  struct Line {
    QCPGraph* Graph;
    Part What;
  };

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void leaveEvent(QEvent* Event) override;

 private:
  void ComputeDistances();
  void Rebuild();
  void AddPlot(const QString& Title, const std::vector<Part>& Parts);
  const std::vector<double>& Keys() const;
  int TickCount() const;
  void KeepRange(const QCPRange& Range);
  void Reduce();
  void ShowAt(const std::vector<QCPItemStraightLine*>& Lines, int Point);
  void Hover(int Point);

  TrackSeries series_;
  TimeZone zone_;
  Axis axis_ = Axis::Time;
  std::vector<double> timeKeys_;     // seconds on the zone's wall clock
  std::vector<double> distanceKeys_; // kilometres, computed when first needed
  std::vector<Line> lines_;
  std::vector<QCPAxisRect*> rects_;
  QCPMarginGroup* margins_ = nullptr;
  int columns_ = 0;
  std::vector<QCPItemStraightLine*> hoverLines_;
  std::vector<QCPItemStraightLine*> markLines_;
  QCPLayer* cursorLayer_;
  bool hasTimes_ = false;
  int marked_ = -1;
  int hovered_ = -1;
  bool syncing_ = false;
  QPoint pressedAt_;
};

} // namespace tarnwick::viewer
