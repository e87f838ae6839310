#pragma once

#include "app/gpx_tracks_table.hpp"
#include "present/grid_helpers.hpp"

#include <QList>
#include <QWidget>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QTabWidget;

namespace tarnwick::viewer {

class GridView;
class Selection;
class SessionModel;

/// The "Tracks" page: the tracks of the image, the logger's status and where the image came
/// from, the download log, and below the current track's points, samples and way points with
/// the raw bytes of the one selected. Follows the session (a new image, another reading) and
/// the selection; the tracks grid sets the current track. A GPX file's tracks have a grid of
/// their own in the same place, and no records, samples or raw bytes below.
class TracksPane : public QWidget {
  Q_OBJECT

 public:
  TracksPane(SessionModel& Session, Selection& Selection, char DecimalSeparator,
             QWidget* Parent = nullptr);
  ~TracksPane() override;

  GridView* TracksGrid() const { return grdTracks_; }
  /// Every grid of the page, for their column widths.
  QList<GridView*> Grids() const { return grids_; }
  /// The download log.
  QPlainTextEdit* Memo() const { return memoAutoStatus_; }
  /// The tracks selected in the tracks grid (written order), else the current one.
  QList<int> SelectedTracks() const;

 private:
  GridView* AddGrid(const QString& Name, TStringGridHelper& Helper, QWidget* Parent);
  QWidget* CreateInfo();
  void CreateTrackTabs();
  void LetGo();
  void ShowImage();
  void ShowReading();
  void ShowSource();
  void SetZone(const TimeZone& Zone);
  void ShowTrack(int Track);
  void ShowPoint(int Point);
  const TIGotUTrack* Track(int Index) const;
  void SetTabShown(QWidget* Page, bool Shown);

  SessionModel& session_;
  Selection& selection_;
  std::unique_ptr<TTracksGridHelper> FTracksGridHelper;
  std::unique_ptr<TTrackPointGridHelper> FTrackPointGridHelper;
  std::unique_ptr<TWayPointGridHelper> FWayPointGridHelper;
  std::unique_ptr<TExtIntPointGridHelper> FHRGridHelper;
  std::unique_ptr<TExtIntPointGridHelper> FCadenceGridHelper;
  std::unique_ptr<TExtDoublePointGridHelper> FSpeedGridHelper;
  std::unique_ptr<app::GpxTracksTable> gpxTracks_;
  QList<GridView*> grids_;
  GridView* grdTracks_;
  GridView* grdGpxTracks_;
  GridView* grdTrackPoints_;
  GridView* grdWayPoints_;
  GridView* grdHR_;
  GridView* grdCadence_;
  GridView* grdSpeed_;
  QLabel* lblModelValue_;
  QLabel* lblSerialValue_;
  QLabel* lblVersionValue_;
  QLabel* lblCountValue_;
  QLabel* lblImageValue_;
  QLabel* lblPointData_;
  QLabel* lblHRData_;
  QLabel* lblCadenceData_;
  QLabel* lblSpeedData_;
  QPlainTextEdit* memoAutoStatus_;
  QTabWidget* tabTrackData_;
  QWidget* tshTrackPoints_;
  QWidget* tshHR_;
  QWidget* tshCadence_;
  QWidget* tshSpeed_;
  QWidget* tshWayPoints_;
};

} // namespace tarnwick::viewer
