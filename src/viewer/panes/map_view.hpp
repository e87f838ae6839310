#pragma once

#include "viewer/map/map_photo.hpp"
#include "viewer/map/map_track.hpp"
#include "viewer/map/tile_math.hpp"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <vector>

namespace tarnwick::viewer {

class PhotoThumbnails;
class TileSource;

/// The map itself: tiles where they can be had over a plain background with a graticule,
/// the tracks as lines (the current one on top, its start, end, way points and current point
/// marked), geotagged photos as small camera marks (the one under the pointer with its
/// thumbnail), a scale bar and the tiles' attribution. The wheel zooms about the pointer, a
/// drag pans, a click near a track tells which point it hit. Zoom levels are whole, so tiles
/// are drawn at their own size.
class MapView : public QWidget {
  Q_OBJECT

 public:
  /// What the tiles' owner asks to be shown with them, on every map.
  static constexpr const char* kAttribution = "\u00a9 OpenStreetMap contributors";
  /// How near a click must come to a point to pick it, in pixels.
  static constexpr double kPickPixels = 12;
  /// The plain background and its graticule, where there are no tiles.
  static constexpr QRgb kLandRgb = 0xfff2efe9;
  static constexpr QRgb kGraticuleRgb = 0xffbeb8ac;

  explicit MapView(QWidget* Parent = nullptr);

  /// Draws tiles from Tiles (null: none); the source must outlive the view or be replaced.
  void SetTiles(TileSource* Tiles);
  /// The tracks to draw, Current (-1: none) as the selected one.
  void SetTracks(std::vector<MapTrack> Tracks, int Current);
  /// Makes Track the current one (-1: none) and forgets the current point.
  void SetCurrentTrack(int Track);
  int CurrentTrack() const { return current_; }
  int CurrentPoint() const { return point_; }
  /// Whether the tracks other than the current one are drawn too (and can be clicked).
  void SetShowAll(bool All);
  bool ShowAll() const { return showAll_; }
  /// Marks Point of the current track (-1: none), moving the map to it when it is out of
  /// sight.
  void SetCurrentPoint(int Point);
  /// Shows the whole current track (all tracks without one), now or once the view has a
  /// size.
  void FitTrack() { Fit(false); }
  /// Shows every track, now or once the view has a size.
  void FitAll() { Fit(true); }

  int Zoom() const { return zoom_; }
  WorldPoint Center() const { return center_; }
  void SetView(int Zoom, const WorldPoint& Center);
  /// Where Point is drawn in the widget, and back.
  QPointF PixelOf(const WorldPoint& Point) const;
  WorldPoint WorldAt(const QPointF& Pixel) const;
  const std::vector<MapTrack>& Tracks() const { return tracks_; }

  /// The photos to mark (none: the layer is empty).
  void SetPhotos(std::vector<MapPhoto> Photos);
  const std::vector<MapPhoto>& Photos() const { return photos_; }
  /// The photo under the pointer, whose thumbnail is shown (-1: none).
  int HoveredPhoto() const { return hovered_; }
  /// The photo marked nearest Pixel, within kPickPixels (-1: none).
  int PhotoAt(const QPointF& Pixel) const;
  PhotoThumbnails& Thumbnails() const { return *thumbnails_; }

 signals:
  /// A click came near Point of Track.
  void PointClicked(int Track, int Point);

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void leaveEvent(QEvent* Event) override;

 private:
  void DrawTrackLayer(QPainter& Painter);
  void DrawTiles(QPainter& Painter);
  void DrawGraticule(QPainter& Painter);
  void DrawTrack(QPainter& Painter, const MapTrack& Track, const QColor& Colour, double Width);
  void DrawMarks(QPainter& Painter, const MapTrack& Track);
  void DrawPhotos(QPainter& Painter);
  void DrawThumbnail(QPainter& Painter, const MapPhoto& Photo);
  void DrawScaleAndAttribution(QPainter& Painter);
  void Hover(int Photo);
  void Pick(const QPointF& Pixel);
  void Fit(bool All);

  TileSource* tiles_ = nullptr;
  std::vector<MapTrack> tracks_;
  std::vector<MapPhoto> photos_;
  int hovered_ = -1;
  PhotoThumbnails* thumbnails_;
  int current_ = -1;
  bool showAll_ = false;
  int point_ = -1;
  int zoom_ = 1;
  WorldPoint center_{0.5, 0.5};
  QImage layer_;
  QPointF layerOrigin_;
  int layerZoom_ = -1;
  bool layerDirty_ = true;
  bool fitDue_ = false;
  bool fitAllDue_ = false;
  int wheelSteps_ = 0;
  bool dragging_ = false;
  QPointF pressAt_;
  WorldPoint pressCenter_;
};

} // namespace tarnwick::viewer
