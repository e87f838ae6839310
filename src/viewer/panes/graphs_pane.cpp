#include "viewer/panes/graphs_pane.hpp"

#include "viewer/graphs/track_graphs.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tarnwick::viewer {

GraphsPane::GraphsPane(SessionModel& Session, Selection& Selection, QWidget* Parent)
    : QWidget(Parent), session_(Session), selection_(Selection) {
  setObjectName("graphsPane");
  rdoTime_ = new QRadioButton("Time", this);
  rdoTime_->setObjectName("rdoGraphTime");
  rdoTime_->setChecked(true);
  rdoDistance_ = new QRadioButton("Distance", this);
  rdoDistance_->setObjectName("rdoGraphDistance");
  auto* group = new QButtonGroup(this);
  group->addButton(rdoTime_);
  group->addButton(rdoDistance_);
  lblValues_ = new QLabel(this);
  lblValues_->setObjectName("lblGraphValues");
  lblValues_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The values wrap below the switch rather than widening the pane.
  lblValues_->setWordWrap(true);
  lblValues_->setMinimumWidth(1);
  lblValues_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  graphs_ = new TrackGraphs(this);
  lblNoTrack_ = new QLabel("Select a track to see its graphs.", this);
  lblNoTrack_->setObjectName("lblNoTrack");
  lblNoTrack_->setAlignment(Qt::AlignCenter);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Against:", this));
  top->addWidget(rdoTime_);
  top->addWidget(rdoDistance_);
  top->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(lblValues_);
  layout->addWidget(graphs_, 1);
  layout->addWidget(lblNoTrack_, 1);

  connect(rdoDistance_, &QRadioButton::toggled, this, [this](bool Distance) {
    graphs_->SetAxis(Distance ? TrackGraphs::Axis::Distance : TrackGraphs::Axis::Time);
    ShowValues(-1);
  });
  connect(graphs_, &TrackGraphs::PointHovered, this, &GraphsPane::ShowValues);
  connect(graphs_, &TrackGraphs::PointClicked, &selection_, &Selection::SetPoint);
  connect(&selection_, &Selection::TrackChanged, this, &GraphsPane::ShowTrack);
  connect(&selection_, &Selection::PointChanged, this, [this](int Point) {
    graphs_->SetMarkedPoint(Point);
    ShowValues(-1);
  });
  // Another image, era or zone: the series are read anew.
  connect(&session_, &SessionModel::AboutToReplace, this, [this] { ShowTrack(-1); });
  connect(&session_, &SessionModel::ReadingChanged, this, [this] {
    ShowTrack(selection_.Track());
    graphs_->SetMarkedPoint(selection_.Point());
  });
  ShowTrack(-1);
}

void GraphsPane::ShowTrack(int Track) {
  const std::vector<TrackSeries>& all = session_.Session().Series();
  const bool known = Track >= 0 && static_cast<size_t>(Track) < all.size();
  graphs_->SetTrack(known ? all[static_cast<size_t>(Track)] : TrackSeries{},
                    session_.Session().Zone());
  graphs_->setVisible(known && graphs_->HasTrack());
  // A track without times can only be drawn against distance.
  rdoTime_->setEnabled(graphs_->HasTimes() || !graphs_->HasTrack());
  const QSignalBlocker blocker(rdoDistance_);
  (graphs_->CurrentAxis() == TrackGraphs::Axis::Time ? rdoTime_ : rdoDistance_)->setChecked(true);
  lblNoTrack_->setVisible(!graphs_->isVisibleTo(this));
  ShowValues(-1);
}

void GraphsPane::ShowValues(int Point) {
  // Without a point under the mouse, the selected one's values.
  lblValues_->setText(graphs_->ValuesText(Point >= 0 ? Point : graphs_->MarkedPoint()));
}

} // namespace tarnwick::viewer
