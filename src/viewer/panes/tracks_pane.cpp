#include "viewer/panes/tracks_pane.hpp"

#include "present/image_texts.hpp"
#include "support/dump_text.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/pane_widgets.hpp"
#include "viewer/windows/grid_view.hpp"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tarnwick::viewer {

namespace {

template <class List>
const TIGotUPointBase* Item(const List& Records, int Index) {
  return Index >= 0 && Index < static_cast<int>(Records.size())
             ? Records[static_cast<size_t>(Index)]
             : nullptr;
}

} // namespace

TracksPane::TracksPane(SessionModel& Session, Selection& Selection, char DecimalSeparator,
                       QWidget* Parent)
    : QWidget(Parent), session_(Session), selection_(Selection),
      FTracksGridHelper(std::make_unique<TTracksGridHelper>(DecimalSeparator)),
      FTrackPointGridHelper(std::make_unique<TTrackPointGridHelper>(DecimalSeparator)),
      FWayPointGridHelper(std::make_unique<TWayPointGridHelper>(DecimalSeparator)),
      FHRGridHelper(std::make_unique<TExtIntPointGridHelper>(DecimalSeparator)),
      FCadenceGridHelper(std::make_unique<TExtIntPointGridHelper>(DecimalSeparator)),
      FSpeedGridHelper(std::make_unique<TExtDoublePointGridHelper>(DecimalSeparator)),
      gpxTracks_(std::make_unique<app::GpxTracksTable>(DecimalSeparator)) {
  setObjectName("tshTracks");
  grdTracks_ = AddGrid("grdTracks", *FTracksGridHelper, this);
  grdGpxTracks_ = AddGrid("grdGpxTracks", *gpxTracks_, this);
  grdGpxTracks_->hide();
  auto* grids = new QWidget(this);
  auto* gridsLayout = new QVBoxLayout(grids);
  gridsLayout->setContentsMargins(0, 0, 0, 0);
  gridsLayout->addWidget(grdTracks_);
  gridsLayout->addWidget(grdGpxTracks_);
  auto* upper = new QSplitter(Qt::Horizontal, this);
  upper->addWidget(grids);
  upper->addWidget(CreateInfo());
  upper->setStretchFactor(0, 3);
  upper->setStretchFactor(1, 2);
  CreateTrackTabs();

  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName("splitTracks");
  split->addWidget(upper);
  split->addWidget(tabTrackData_);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  (new QVBoxLayout(this))->addWidget(split);

  connect(grdTracks_, &GridView::CurrentItemChanged, this, [this](int Item) {
    if (Item >= 0) {
      selection_.SetTrack(Item);
    }
  });
  connect(grdGpxTracks_, &GridView::CurrentItemChanged, this, [this](int Item) {
    if (Item >= 0) {
      selection_.SetTrack(Item);
    }
  });
  connect(grdTrackPoints_, &GridView::CurrentItemChanged, this, [this](int Item) {
    if (Item >= 0) {
      selection_.SetPoint(Item);
    }
  });
  connect(&selection_, &Selection::TrackChanged, this, &TracksPane::ShowTrack);
  connect(&selection_, &Selection::PointChanged, this, &TracksPane::ShowPoint);
  // A selected sample shows its raw bytes under its grid.
  const auto rawBytes = [this](GridView* Grid, QLabel* Label, auto Records) {
    connect(Grid, &GridView::CurrentItemChanged, this, [this, Label, Records](int Index) {
      if (const TIGotUTrack* track = Track(selection_.Track())) {
        if (const TIGotUPointBase* record = Item(Records(*track), Index)) {
          Label->setText(QString::fromStdString(BytesToHex(record->PRawData(), 32)));
        }
      }
    });
  };
  rawBytes(
      grdHR_, lblHRData_, [](const TIGotUTrack& T) -> const auto& { return T.HR(); });
  rawBytes(
      grdCadence_, lblCadenceData_,
      [](const TIGotUTrack& T) -> const auto& { return T.Cadence(); });
  rawBytes(
      grdSpeed_, lblSpeedData_, [](const TIGotUTrack& T) -> const auto& { return T.Speed(); });

  connect(&session_, &SessionModel::AboutToReplace, this, &TracksPane::LetGo);
  connect(&session_, &SessionModel::Replaced, this, &TracksPane::ShowImage);
  connect(&session_, &SessionModel::ReadingChanged, this, &TracksPane::ShowReading);
  connect(&session_, &SessionModel::Saved, this, &TracksPane::ShowSource);
  for (const QWidget* page : {tshWayPoints_, tshHR_, tshCadence_, tshSpeed_}) {
    SetTabShown(const_cast<QWidget*>(page), false);
  }
}

TracksPane::~TracksPane() {
  // The views let go of the models before the presenters go.
  for (GridView* grid : grids_) {
    grid->setModel(nullptr);
  }
}

GridView* TracksPane::AddGrid(const QString& Name, TStringGridHelper& Helper, QWidget* Parent) {
  auto* grid = new GridView(Name, Parent);
  grid->SetGridModel(new GridModel(Helper, this));
  grids_.append(grid);
  return grid;
}

QWidget* TracksPane::CreateInfo() {
  auto* info = new QWidget(this);
  auto* form = new QFormLayout;
  const auto value = [&](const QString& Name) {
    auto* label = new QLabel(info);
    label->setObjectName(Name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  lblModelValue_ = value("lblModelValue");
  lblSerialValue_ = value("lblSerialValue");
  lblVersionValue_ = value("lblVersionValue");
  lblCountValue_ = value("lblCountValue");
  // "downloaded 2026-12-10 05:27, saved as trip.dat" is wider than the column at the window's
  // first size: cut in the middle, whole in the tooltip.
  lblImageValue_ = new ElidedLabel(info);
  lblImageValue_->setObjectName("lblImageValue");
  form->addRow("Model", lblModelValue_);
  form->addRow("Serial", lblSerialValue_);
  form->addRow("Version", lblVersionValue_);
  form->addRow("Count", lblCountValue_);
  form->addRow("Image", lblImageValue_);
  memoAutoStatus_ = new QPlainTextEdit(info);
  memoAutoStatus_->setObjectName("memoAutoStatus");
  memoAutoStatus_->setReadOnly(true);
  auto* layout = new QVBoxLayout(info);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(form);
  layout->addWidget(memoAutoStatus_, 1);
  return info;
}

void TracksPane::CreateTrackTabs() {
  tabTrackData_ = new QTabWidget(this);
  tabTrackData_->setObjectName("tabTrackData");
  const auto dataPage = [&](const QString& Name, const QString& Caption, GridView*& Grid,
                            const QString& GridName, TStringGridHelper& Helper, QLabel** Label,
                            const QString& LabelName) {
    auto* tab = new QWidget;
    tab->setObjectName(Name);
    Grid = AddGrid(GridName, Helper, tab);
    auto* tabLayout = new QVBoxLayout(tab);
    tabLayout->addWidget(Grid, 1);
    if (Label != nullptr) {
      *Label = DataLabel(LabelName, tab);
      tabLayout->addWidget(*Label);
    }
    tabTrackData_->addTab(tab, Caption);
    return tab;
  };
  tshTrackPoints_ = dataPage("tshTrackPoints", "TrackPoints", grdTrackPoints_, "grdTrackPoints",
                             *FTrackPointGridHelper, &lblPointData_, "lblPointData");
  tshHR_ = dataPage("tshHR", "HR", grdHR_, "grdHR", *FHRGridHelper, &lblHRData_, "lblHRData");
  tshCadence_ = dataPage("tshCadence", "Cadence", grdCadence_, "grdCadence", *FCadenceGridHelper,
                         &lblCadenceData_, "lblCadenceData");
  tshSpeed_ = dataPage("tshSpeed", "Speed", grdSpeed_, "grdSpeed", *FSpeedGridHelper,
                       &lblSpeedData_, "lblSpeedData");
  tshWayPoints_ = dataPage("tshWayPoints", "WayPoints", grdWayPoints_, "grdWayPoints",
                           *FWayPointGridHelper, nullptr, {});
}

void TracksPane::SetTabShown(QWidget* Page, bool Shown) {
  tabTrackData_->setTabVisible(tabTrackData_->indexOf(Page), Shown);
}

const TIGotUTrack* TracksPane::Track(int Index) const {
  const TIGotUPoints* points = session_.Points();
  return points != nullptr && Index >= 0 && Index < points->Tracks().Count()
             ? &points->Tracks()[Index]
             : nullptr;
}

QList<int> TracksPane::SelectedTracks() const {
  QList<int> tracks = grdTracks_->SelectedItems();
  if (tracks.isEmpty() && Track(selection_.Track()) != nullptr) {
    tracks.append(selection_.Track());
  }
  return tracks;
}

void TracksPane::ShowSource() {
  const QString source = session_.Source();
  lblImageValue_->setText(source);
  const std::string& name = session_.Session().Name();
  lblImageValue_->setToolTip(
      name.empty() ? source
                   : source + "\n" +
                         QDir::toNativeSeparators(
                             QFileInfo(QString::fromStdString(name)).absoluteFilePath()));
}

void TracksPane::LetGo() {
  FTracksGridHelper->SetTracks(nullptr);
  gpxTracks_->SetTracks(nullptr);
  ShowTrack(-1);
}

void TracksPane::ShowImage() {
  const app::ImageSession& session = session_.Session();
  const TIGotUWholeData* image = session.Image();
  StatusLabelTexts labels;
  if (image != nullptr) {
    labels = StatusLabels(image->Status);
  }
  lblModelValue_->setText(QString::fromStdString(labels.Model));
  lblSerialValue_->setText(QString::fromStdString(labels.Serial));
  lblVersionValue_->setText(QString::fromStdString(labels.Version));
  lblCountValue_->setText(QString::fromStdString(labels.Count));
  ShowSource();
  SetZone(session.Zone());
  const TIGotUPoints* points = session.Points();
  FTracksGridHelper->SetTracks(points != nullptr ? &points->Tracks() : nullptr);
  gpxTracks_->SetTracks(session.HasGpx() ? &session.Series() : nullptr);
  grdTracks_->setVisible(!session.HasGpx());
  grdGpxTracks_->setVisible(session.HasGpx());
  tabTrackData_->setVisible(!session.HasGpx());
  selection_.Clear();
  ShowTrack(-1);
  GridView* shown = session.HasGpx() ? grdGpxTracks_ : grdTracks_;
  if (shown->Grid()->Helper().DataCount() > 0) {
    shown->SelectItem(0);
    selection_.SetTrack(0);
  }
}

void TracksPane::ShowReading() {
  const app::ImageSession& session = session_.Session();
  ShowSource();
  // The presenters repaint with the new reading; the views forget their rows on that, so the
  // selection is shown again.
  const int point = selection_.Point();
  SetZone(session.Zone());
  if (selection_.Track() >= 0) {
    (session.HasGpx() ? grdGpxTracks_ : grdTracks_)->SelectItem(selection_.Track());
  }
  if (point >= 0) {
    grdTrackPoints_->SelectItem(point);
  }
}

void TracksPane::SetZone(const TimeZone& Zone) {
  for (TStringGridHelper* helper : {static_cast<TStringGridHelper*>(FTracksGridHelper.get()),
                                    static_cast<TStringGridHelper*>(FTrackPointGridHelper.get()),
                                    static_cast<TStringGridHelper*>(FWayPointGridHelper.get()),
                                    static_cast<TStringGridHelper*>(FHRGridHelper.get()),
                                    static_cast<TStringGridHelper*>(FCadenceGridHelper.get()),
                                    static_cast<TStringGridHelper*>(FSpeedGridHelper.get()),
                                    static_cast<TStringGridHelper*>(gpxTracks_.get())}) {
    helper->SetZone(Zone);
  }
}

void TracksPane::ShowTrack(int Index) {
  const TIGotUTrack* track = Track(Index);
  FTrackPointGridHelper->SetTrack(track);
  FWayPointGridHelper->SetTrack(track);
  FHRGridHelper->SetPoints(track != nullptr ? &track->HR() : nullptr);
  FCadenceGridHelper->SetPoints(track != nullptr ? &track->Cadence() : nullptr);
  FSpeedGridHelper->SetPoints(track != nullptr ? &track->Speed() : nullptr);
  for (QLabel* label : {lblPointData_, lblHRData_, lblCadenceData_, lblSpeedData_}) {
    label->clear();
  }
  SetTabShown(tshWayPoints_, track != nullptr && !track->WayPoints().empty());
  SetTabShown(tshHR_, track != nullptr && !track->HR().empty());
  SetTabShown(tshCadence_, track != nullptr && !track->Cadence().empty());
  SetTabShown(tshSpeed_, track != nullptr && !track->Speed().empty());
  if (track != nullptr && grdTracks_->CurrentItem() != Index) {
    grdTracks_->SelectItem(Index);
  }
  if (session_.Session().HasGpx() && Index >= 0 && grdGpxTracks_->CurrentItem() != Index) {
    grdGpxTracks_->SelectItem(Index);
  }
}

void TracksPane::ShowPoint(int Point) {
  const TIGotUTrack* track = Track(selection_.Track());
  const TIGotUPointBase* record = track != nullptr ? Item(track->Points(), Point) : nullptr;
  if (record != nullptr) {
    lblPointData_->setText(QString::fromStdString(BytesToHex(record->PRawData(), 32)));
    // A point chosen elsewhere (the graphs, the map) is shown in the grid too.
    if (grdTrackPoints_->CurrentItem() != Point) {
      grdTrackPoints_->SelectItem(Point);
    }
  } else {
    lblPointData_->clear();
  }
}

} // namespace tarnwick::viewer
