#pragma once

#include "viewer/map/map_photo.hpp"

#include <QWidget>

#include <vector>

class QCheckBox;

namespace tarnwick::viewer {

class MapView;
class Selection;
class SessionModel;
class TileSource;

/// The map beside the tables: the selected track (or every track of the image, each in its
/// own colour) over tiles from the template in the preferences, fitted to the track when the
/// selection moves to another one. A click on the map selects the nearest point, and a point
/// selected elsewhere is marked, and so are the photos geotagged from the tracks. Whether tiles
/// can be had is told, never asked about.
class MapPane : public QWidget {
  Q_OBJECT

 public:
  MapPane(SessionModel& Session, Selection& Selection, QWidget* Parent = nullptr);

  /// Reads the tile template from the preferences again.
  void ReloadTiles();
  /// Reloads the tiles when the template in the preferences is no longer the one in use.
  void FollowPreferences();
  /// Marks Photos on the map until the next image is opened (they were placed by its tracks).
  void SetPhotos(std::vector<MapPhoto> Photos);
  MapView* View() const { return view_; }
  TileSource* Tiles() const { return tiles_; }

 protected:
  /// The window coming back (from the preferences, say) is when a new template is taken up.
  void changeEvent(QEvent* Event) override;

 signals:
  /// Tiles cannot be had (Problem says why), or can again (Problem is empty).
  void TileProblem(const QString& Problem);

 private:
  void ShowTracks();
  void TrackChanged(int Track);
  void Clicked(int Track, int Point);

  SessionModel& session_;
  Selection& selection_;
  MapView* view_;
  TileSource* tiles_ = nullptr;
  QCheckBox* chkAllTracks_;
  bool clicking_ = false;
};

} // namespace tarnwick::viewer
