#include "viewer/panes/map_pane.hpp"

#include "viewer/map/map_settings.hpp"
#include "viewer/map/tile_source.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/map_view.hpp"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwick::viewer {

MapPane::MapPane(SessionModel& Session, Selection& Selection, QWidget* Parent)
    : QWidget(Parent), session_(Session), selection_(Selection) {
  setObjectName("mapPane");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  chkAllTracks_ = new QCheckBox("All tracks", this);
  chkAllTracks_->setObjectName("chkAllTracks");
  chkAllTracks_->setToolTip("Draw every track of the image, each in its own colour");
  chkAllTracks_->setChecked(MapSettings::AllTracks());
  auto* fit = new QPushButton("Fit track", this);
  fit->setObjectName("cmdFitTrack");
  fit->setToolTip("Show the whole selected track");
  row->addWidget(chkAllTracks_);
  row->addStretch(1);
  row->addWidget(fit);
  layout->addLayout(row);
  view_ = new MapView(this);
  view_->setObjectName("mapView");
  view_->SetShowAll(chkAllTracks_->isChecked());
  layout->addWidget(view_, 1);
  ReloadTiles();

  connect(chkAllTracks_, &QCheckBox::toggled, this, [this](bool All) {
    MapSettings::SetAllTracks(All);
    view_->SetShowAll(All);
    if (All) {
      view_->FitAll();
    } else {
      view_->FitTrack();
    }
  });
  connect(fit, &QPushButton::clicked, view_, &MapView::FitTrack);
  connect(view_, &MapView::PointClicked, this, &MapPane::Clicked);
  connect(&session_, &SessionModel::AboutToReplace, this, [this] {
    view_->SetTracks({}, -1);
    view_->SetPhotos({});
  });
  connect(&session_, &SessionModel::Replaced, this, [this] {
    ShowTracks();
    view_->FitTrack();
  });
  // Another year era gives new series: the positions stay, and so does the view.
  connect(&session_, &SessionModel::ReadingChanged, this, &MapPane::ShowTracks);
  connect(&selection_, &Selection::TrackChanged, this, &MapPane::TrackChanged);
  connect(&selection_, &Selection::PointChanged, view_, &MapView::SetCurrentPoint);
}

void MapPane::ReloadTiles() {
  auto* old = tiles_;
  tiles_ = new TileSource(MapSettings::TileUrl(), MapSettings::CacheFolder(),
                          MapSettings::kDiskCacheBytes, this);
  connect(tiles_, &TileSource::ProblemChanged, this, &MapPane::TileProblem);
  view_->SetTiles(tiles_);
  delete old;
  emit TileProblem(tiles_->Problem());
}

void MapPane::SetPhotos(std::vector<MapPhoto> Photos) {
  view_->SetPhotos(std::move(Photos));
}

void MapPane::FollowPreferences() {
  if (MapSettings::TileUrl() != tiles_->Template()) {
    ReloadTiles();
  }
}

void MapPane::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  if (Event->type() == QEvent::ActivationChange && isActiveWindow()) {
    FollowPreferences();
  }
}

void MapPane::ShowTracks() {
  std::vector<MapTrack> tracks;
  for (const TrackSeries& series : session_.Session().Series()) {
    tracks.emplace_back(series);
  }
  view_->SetTracks(std::move(tracks), selection_.Track());
  view_->SetCurrentPoint(selection_.Point());
}

void MapPane::TrackChanged(int Track) {
  view_->SetCurrentTrack(Track);
  // A track picked on the map is where the user already looks.
  if (!clicking_) {
    view_->FitTrack();
  }
}

void MapPane::Clicked(int Track, int Point) {
  clicking_ = true;
  selection_.SetTrack(Track);
  clicking_ = false;
  selection_.SetPoint(Point);
}

} // namespace tarnwick::viewer
