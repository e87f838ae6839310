#include "viewer/panes/stats_pane.hpp"

#include "analysis/track_series.hpp"
#include "app/stats_figures.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/windows/small_dialogs.hpp"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace tarnwick::viewer {

namespace {

QTableWidget* SmallTable(const QString& Name, const QStringList& Captions, QWidget* Parent) {
  auto* table = new QTableWidget(0, static_cast<int>(Captions.size()), Parent);
  table->setObjectName(Name);
  table->setHorizontalHeaderLabels(Captions);
  table->verticalHeader()->hide();
  // Rows as low as the text: the figures fit in the pane without scrolling.
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->horizontalHeader()->setStretchLastSection(true);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return table;
}

void SetRow(QTableWidget* Table, int Row, const QStringList& Cells) {
  for (int c = 0; c < Cells.size(); ++c) {
    auto* item = new QTableWidgetItem(Cells[c]);
    // Numbers line up on the right, names on the left.
    item->setTextAlignment(c == 0 && Table->objectName() == "grdStatsFigures"
                               ? Qt::AlignLeft | Qt::AlignVCenter
                               : Qt::AlignRight | Qt::AlignVCenter);
    Table->setItem(Row, c, item);
  }
}

QString Fixed(double Value, int Decimals) {
  return QString::fromStdString(app::FigureText(Value, Decimals));
}

QString Duration(double Seconds) {
  return QString::fromStdString(app::DurationText(Seconds));
}

// A figure with its unit; times also as hours, minutes and seconds.
QString FigureCell(const app::StatsFigure& F) {
  const QString unit = QString::fromLatin1(F.Unit);
  if (unit == "s") {
    return Duration(F.Value);
  }
  return Fixed(F.Value, F.Decimals) + " " + unit;
}

} // namespace

StatsPane::StatsPane(SessionModel& Session, Selection& Selection, QWidget* Parent)
    : QWidget(Parent), session_(Session), selection_(Selection) {
  setObjectName("statsPane");
  lblNoTrack_ = new QLabel("Select a track to see its figures.", this);
  lblNoTrack_->setObjectName("lblStatsNoTrack");
  lblNoTrack_->setAlignment(Qt::AlignCenter);
  lblSource_ = new QLabel(this);
  lblSource_->setObjectName("lblStatsSource");
  lblSource_->setWordWrap(true);
  grdFigures_ = SmallTable("grdStatsFigures", {"Figure", "Value"}, this);
  grdZones_ = SmallTable("grdHrZones", {"Zone", "From", "Time", "Share"}, this);
  grdSplits_ = SmallTable("grdSplits",
                          {"km", "Distance", "Time", "Moving speed", "Heart rate", "Ascent"}, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNoTrack_, 1);
  layout->addWidget(lblSource_);
  layout->addWidget(grdFigures_, 3);
  layout->addWidget(grdZones_, 1);
  layout->addWidget(grdSplits_, 2);

  connect(&selection_, &Selection::TrackChanged, this, &StatsPane::ShowTrack);
  connect(&session_, &SessionModel::AboutToReplace, this, [this] { ShowTrack(-1); });
  // Another era or zone: the series are read anew.
  connect(&session_, &SessionModel::ReadingChanged, this, &StatsPane::Reload);
  ShowTrack(-1);
}

void StatsPane::Reload() {
  ShowTrack(selection_.Track());
}

void StatsPane::ShowTrack(int Track) {
  const std::vector<TrackSeries>& all = session_.Session().Series();
  const bool known = Track >= 0 && static_cast<size_t>(Track) < all.size();
  const StatsSettings settings = LoadHeartRatePreferences();
  stats_ = known ? ComputeTrackStats(all[static_cast<size_t>(Track)], settings) : TrackStats{};
  lblNoTrack_->setVisible(!known);
  for (QWidget* w : {static_cast<QWidget*>(lblSource_), static_cast<QWidget*>(grdFigures_)}) {
    w->setVisible(known);
  }
  grdZones_->setVisible(known && stats_.HasHeartRate);
  grdSplits_->setVisible(known && !stats_.Splits.empty());
  if (!known) {
    return;
  }

  const std::vector<app::StatsFigure> figures = app::FiguresOf(stats_);
  grdFigures_->setRowCount(0);
  for (const app::StatsFigure& f : figures) {
    if (!f.Present) {
      continue;
    }
    const int row = grdFigures_->rowCount();
    grdFigures_->insertRow(row);
    SetRow(grdFigures_, row, {QString::fromLatin1(f.Caption), FigureCell(f)});
    grdFigures_->item(row, 0)->setToolTip(QString::fromLatin1(f.Key));
  }
  QString source = QString("%1 points. ").arg(stats_.Points);
  if (stats_.HasElevation) {
    source += stats_.ElevationIsPressure ? "Elevations from the barometer. "
                                         : "Elevations from the GPS. ";
  }
  source += "Distances along the ground on WGS84; moving where at least 0.5 m/s.";
  lblSource_->setText(source);

  const std::array<double, 5> from = settings.ZoneLimitsBpm();
  double zoned = 0;
  for (const double s : stats_.HeartRateZoneS) {
    zoned += s;
  }
  grdZones_->setRowCount(5);
  for (int z = 0; z < 5; ++z) {
    const double s = stats_.HeartRateZoneS[static_cast<size_t>(z)];
    SetRow(grdZones_, z,
           {QString::number(z + 1), Fixed(from[static_cast<size_t>(z)], 0) + " bpm", Duration(s),
            zoned > 0 ? Fixed(100 * s / zoned, 1) + " %" : QString()});
  }

  grdSplits_->setRowCount(static_cast<int>(stats_.Splits.size()));
  for (size_t k = 0; k < stats_.Splits.size(); ++k) {
    const KmSplit& split = stats_.Splits[k];
    SetRow(grdSplits_, static_cast<int>(k),
           {QString::number(k + 1), Fixed(split.DistanceM, 1) + " m", Duration(split.TimeS),
            Fixed(split.MovingSpeedMs * app::kKmhPerMs, 2) + " km/h",
            stats_.HasHeartRate && !std::isnan(split.HeartRateAvg)
                ? Fixed(split.HeartRateAvg, 1) + " bpm"
                : QString(),
            stats_.HasElevation ? Fixed(split.AscentM, 1) + " m" : QString()});
  }
}

} // namespace tarnwick::viewer
