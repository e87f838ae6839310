#include "viewer/panes/map_view.hpp"

#include "viewer/map/photo_thumbnails.hpp"
#include "viewer/map/tile_source.hpp"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace tarnwick::viewer {

namespace {

const QColor kLand = QColor::fromRgb(MapView::kLandRgb);
const QColor kGraticule = QColor::fromRgb(MapView::kGraticuleRgb);
const QColor kLabel(110, 104, 96);

// Colours told apart on the standard tiles and by most colour-blind readers; track N takes
// colour N modulo their count, in every mode.
const std::array<QColor, 8> kTrackColours{
    QColor(214, 39, 40),  QColor(31, 119, 180), QColor(44, 160, 44),   QColor(148, 103, 189),
    QColor(255, 127, 14), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(23, 190, 207)};

QColor TrackColour(int Track) {
  return kTrackColours[static_cast<size_t>(Track) % kTrackColours.size()];
}

QString DistanceText(double Metres) {
  return Metres >= 1000 ? QString("%1 km").arg(Metres / 1000) : QString("%1 m").arg(Metres);
}

QString DegreesText(double Degrees, double Step) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(Step) + 1e-9)));
  return QString::number(Degrees, 'f', decimals) + QChar(0x00B0);
}

// Text on a pale box, so it reads over tiles of any colour.
void DrawBoxedText(QPainter& Painter, const QRectF& Box, const QString& Text) {
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(QColor(255, 255, 255, 200));
  Painter.drawRect(Box);
  Painter.setPen(QColor(40, 40, 40));
  Painter.drawText(Box, Qt::AlignCenter, Text);
}

} // namespace

MapView::MapView(QWidget* Parent) : QWidget(Parent), thumbnails_(new PhotoThumbnails(this)) {
  setMinimumSize(120, 120);
  // Moves without a button show a photo's thumbnail; they cost nothing without photos.
  setMouseTracking(true);
  setCursor(Qt::OpenHandCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(thumbnails_, &PhotoThumbnails::Ready, this, [this](const QString& File) {
    if (hovered_ >= 0 && photos_[static_cast<size_t>(hovered_)].File == File) {
      update();
    }
  });
}

void MapView::SetTiles(TileSource* Tiles) {
  if (tiles_ != nullptr) {
    tiles_->disconnect(this);
  }
  tiles_ = Tiles;
  if (tiles_ != nullptr) {
    connect(tiles_, &TileSource::Changed, this, qOverload<>(&QWidget::update));
  }
  update();
}

void MapView::SetTracks(std::vector<MapTrack> Tracks, int Current) {
  tracks_ = std::move(Tracks);
  layerDirty_ = true;
  current_ = Current >= 0 && Current < static_cast<int>(tracks_.size()) ? Current : -1;
  point_ = -1;
  update();
}

void MapView::SetCurrentTrack(int Track) {
  current_ = Track >= 0 && Track < static_cast<int>(tracks_.size()) ? Track : -1;
  point_ = -1;
  layerDirty_ = true;
  update();
}

void MapView::SetPhotos(std::vector<MapPhoto> Photos) {
  photos_ = std::move(Photos);
  hovered_ = -1;
  update();
}

void MapView::SetShowAll(bool All) {
  showAll_ = All;
  layerDirty_ = true;
  update();
}

void MapView::SetCurrentPoint(int Point) {
  point_ = Point;
  if (current_ >= 0 && Point >= 0 && !fitDue_) {
    const std::vector<WorldPoint>& points = tracks_[static_cast<size_t>(current_)].Points();
    if (Point < static_cast<int>(points.size()) &&
        !std::isnan(points[static_cast<size_t>(Point)].X) &&
        !rect().contains(PixelOf(points[static_cast<size_t>(Point)]).toPoint())) {
      SetView(zoom_, points[static_cast<size_t>(Point)]);
    }
  }
  update();
}

void MapView::Fit(bool All) {
  if (width() < 2 || height() < 2) {
    fitDue_ = true;
    fitAllDue_ = All;
    return;
  }
  fitDue_ = false;
  WorldPoint min{1, 1};
  WorldPoint max{0, 0};
  for (int i = 0; i < static_cast<int>(tracks_.size()); ++i) {
    const MapTrack& track = tracks_[static_cast<size_t>(i)];
    if (track.HasPositions() && (i == current_ || All || current_ < 0)) {
      min = {std::min(min.X, track.Min().X), std::min(min.Y, track.Min().Y)};
      max = {std::max(max.X, track.Max().X), std::max(max.Y, track.Max().Y)};
    }
  }
  if (min.X > max.X) {
    SetView(1, {0.5, 0.5});
    return;
  }
  // A margin for the marks at the ends; a track that stays in one spot is not shown at the
  // deepest zoom, where one tile spans a street.
  constexpr int kMarginPixels = 24;
  constexpr int kDeepestFit = 17;
  const int zoom =
      std::min(kDeepestFit, FittingZoom(max.X - min.X, max.Y - min.Y, width() - 2.0 * kMarginPixels,
                                        height() - 2.0 * kMarginPixels));
  SetView(zoom, {(min.X + max.X) / 2, (min.Y + max.Y) / 2});
}

void MapView::SetView(int Zoom, const WorldPoint& Center) {
  zoom_ = std::clamp(Zoom, 0, kMaxZoom);
  center_ = {std::clamp(Center.X, 0.0, 1.0), std::clamp(Center.Y, 0.0, 1.0)};
  update();
}

QPointF MapView::PixelOf(const WorldPoint& Point) const {
  const double scale = WorldPixels(zoom_);
  return {(Point.X - center_.X) * scale + width() / 2.0,
          (Point.Y - center_.Y) * scale + height() / 2.0};
}

WorldPoint MapView::WorldAt(const QPointF& Pixel) const {
  const double scale = WorldPixels(zoom_);
  return {center_.X + (Pixel.x() - width() / 2.0) / scale,
          center_.Y + (Pixel.y() - height() / 2.0) / scale};
}

void MapView::paintEvent(QPaintEvent* /*Event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), kLand);
  // The graticule lies under the tiles: it shows where they are missing.
  DrawGraticule(painter);
  DrawTiles(painter);
  DrawTrackLayer(painter);
  painter.setRenderHint(QPainter::Antialiasing);
  if (current_ >= 0) {
    DrawMarks(painter, tracks_[static_cast<size_t>(current_)]);
  } else if (tracks_.empty() || !showAll_) {
    painter.setPen(kLabel);
    painter.drawText(rect(), Qt::AlignCenter, "No track to show");
  }
  DrawPhotos(painter);
  DrawScaleAndAttribution(painter);
}

void MapView::DrawTrackLayer(QPainter& Painter) {
  // The lines are drawn into a layer a margin larger than the view, kept while the zoom and
  // what is drawn stay: a drag then only shows another part of it.
  constexpr int kMargin = 256;
  const double scale = WorldPixels(zoom_);
  const QPointF topLeft(center_.X * scale - width() / 2.0, center_.Y * scale - height() / 2.0);
  if (layerDirty_ || layerZoom_ != zoom_ ||
      !QRectF(layerOrigin_, QSizeF(layer_.size())).contains(QRectF(topLeft, QSizeF(size())))) {
    layerOrigin_ = QPointF(std::floor(topLeft.x()) - kMargin, std::floor(topLeft.y()) - kMargin);
    const QSize layerSize = size() + QSize(2 * kMargin, 2 * kMargin);
    if (layer_.size() != layerSize) {
      layer_ = QImage(layerSize, QImage::Format_ARGB32_Premultiplied);
    }
    layer_.fill(Qt::transparent);
    QPainter painter(&layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < static_cast<int>(tracks_.size()); ++i) {
      if (i != current_ && showAll_) {
        DrawTrack(painter, tracks_[static_cast<size_t>(i)], TrackColour(i), 2.5);
      }
    }
    if (current_ >= 0) {
      DrawTrack(painter, tracks_[static_cast<size_t>(current_)], TrackColour(current_), 4);
    }
    layerZoom_ = zoom_;
    layerDirty_ = false;
  }
  const QPoint offset((topLeft - layerOrigin_).toPoint());
  Painter.drawImage(QPoint(0, 0), layer_, QRect(offset, size()));
}

void MapView::DrawTiles(QPainter& Painter) {
  if (tiles_ == nullptr || !tiles_->Enabled()) {
    return;
  }
  const int last = (1 << zoom_) - 1;
  const TileKey from = TileOf(WorldAt({0, 0}), zoom_);
  const TileKey to = TileOf(WorldAt(QPointF(width(), height())), zoom_);
  const double scale = WorldPixels(zoom_);
  for (int y = std::max(0, from.Y); y <= std::min(last, to.Y); ++y) {
    for (int x = std::max(0, from.X); x <= std::min(last, to.X); ++x) {
      if (const QImage* tile = tiles_->Tile({zoom_, x, y})) {
        const QPointF corner = PixelOf({x * kTileSize / scale, y * kTileSize / scale});
        Painter.drawImage(QPoint(static_cast<int>(std::lround(corner.x())),
                                 static_cast<int>(std::lround(corner.y()))),
                          *tile);
      }
    }
  }
}

void MapView::DrawGraticule(QPainter& Painter) {
  const WorldPoint topLeft = WorldAt({0, 0});
  const WorldPoint bottomRight = WorldAt(QPointF(width(), height()));
  const double west = std::max(-180.0, LongitudeOf(topLeft));
  const double east = std::min(180.0, LongitudeOf(bottomRight));
  const double north = std::min(kMaxLatitude, LatitudeOf(topLeft));
  const double south = std::max(-kMaxLatitude, LatitudeOf(bottomRight));
  const double step = GraticuleStep(WorldPixels(zoom_) / 360, 90);
  Painter.setPen(QPen(kGraticule, 1));
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  Painter.setFont(small);
  for (double lon = std::ceil(west / step) * step; lon <= east; lon += step) {
    const double x = PixelOf(ToWorld(0, lon)).x();
    Painter.setPen(kGraticule);
    Painter.drawLine(QPointF(x, 0), QPointF(x, height()));
    Painter.setPen(kLabel);
    Painter.drawText(QPointF(x + 3, 14), DegreesText(lon, step));
  }
  for (double lat = std::ceil(south / step) * step; lat <= north; lat += step) {
    const double y = PixelOf(ToWorld(lat, 0)).y();
    Painter.setPen(kGraticule);
    Painter.drawLine(QPointF(0, y), QPointF(width(), y));
    Painter.setPen(kLabel);
    Painter.drawText(QPointF(3, y - 3), DegreesText(lat, step));
  }
  Painter.setFont(font());
}

void MapView::DrawTrack(QPainter& Painter, const MapTrack& Track, const QColor& Colour,
                        double Width) {
  if (!Track.HasPositions()) {
    return;
  }
  // Only the stretches that cross the view are handed to the painter.
  // Pixels of the layer, whose corner is layerOrigin_ in the world's pixels.
  const QRectF view = QRectF(layer_.rect()).adjusted(-Width, -Width, Width, Width);
  const double scale = WorldPixels(zoom_);
  const double dx = -layerOrigin_.x();
  const double dy = -layerOrigin_.y();
  const std::vector<WorldPoint>& points = Track.Points();
  // Short pieces rather than one long path: the painter strokes a long line that crosses
  // itself many times far more slowly than the same line in pieces.
  constexpr int kPieceSegments = 48;
  std::vector<QPolygonF> pieces;
  QPolygonF piece;
  const auto endPiece = [&] {
    if (piece.size() > 1) {
      pieces.push_back(std::move(piece));
    }
    piece = QPolygonF();
  };
  QPointF previous;
  bool havePrevious = false;
  for (const int index : Track.Simplified(zoom_)) {
    if (index < 0) {
      endPiece();
      havePrevious = false;
      continue;
    }
    const WorldPoint& point = points[static_cast<size_t>(index)];
    const QPointF pixel(point.X * scale + dx, point.Y * scale + dy);
    if (havePrevious) {
      const QRectF segment = QRectF(previous, pixel).normalized();
      if (segment.right() < view.left() || segment.left() > view.right() ||
          segment.bottom() < view.top() || segment.top() > view.bottom()) {
        endPiece();
      } else {
        if (piece.isEmpty()) {
          piece.append(previous);
        }
        piece.append(pixel);
        if (piece.size() > kPieceSegments) {
          endPiece();
          piece.append(pixel);
        }
      }
    }
    previous = pixel;
    havePrevious = true;
  }
  endPiece();
  Painter.setBrush(Qt::NoBrush);
  Painter.setPen(
      QPen(QColor(255, 255, 255, 220), Width + 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (const QPolygonF& line : pieces) {
    Painter.drawPolyline(line);
  }
  Painter.setPen(QPen(Colour, Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (const QPolygonF& line : pieces) {
    Painter.drawPolyline(line);
  }
}

void MapView::DrawMarks(QPainter& Painter, const MapTrack& Track) {
  Painter.setPen(QPen(QColor(60, 40, 0), 1.2));
  for (const MapTrack::WayPoint& way : Track.WayPoints()) {
    const QPointF at = PixelOf(way.At);
    // A pin whose tip is the place.
    QPainterPath pin;
    pin.moveTo(at);
    pin.lineTo(at + QPointF(-6, -12));
    pin.arcTo(QRectF(at + QPointF(-6, -18), QSizeF(12, 12)), 180, -180);
    pin.closeSubpath();
    Painter.setBrush(QColor(255, 190, 30));
    Painter.drawPath(pin);
    if (!way.Name.empty()) {
      const QString name = QString::fromStdString(way.Name).left(40);
      const QRectF box = Painter.fontMetrics().boundingRect(name).adjusted(-3, -1, 3, 1);
      DrawBoxedText(Painter, box.translated(at + QPointF(9, -12) - box.bottomLeft()), name);
      Painter.setPen(QPen(QColor(60, 40, 0), 1.2));
    }
  }
  if (Track.HasPositions()) {
    // The start a green disc, the end a chequered flag square.
    const QPointF start = PixelOf(Track.Points()[static_cast<size_t>(Track.First())]);
    Painter.setPen(QPen(Qt::white, 2));
    Painter.setBrush(QColor(20, 150, 40));
    Painter.drawEllipse(start, 7, 7);
    const QPointF end = PixelOf(Track.Points()[static_cast<size_t>(Track.Last())]);
    const QRectF flag(end - QPointF(7, 7), QSizeF(14, 14));
    Painter.setBrush(Qt::white);
    Painter.setPen(QPen(Qt::black, 1.5));
    Painter.drawRect(flag);
    Painter.fillRect(QRectF(flag.topLeft(), QSizeF(7, 7)), Qt::black);
    Painter.fillRect(QRectF(flag.center(), QSizeF(7, 7)), Qt::black);
  }
  if (point_ >= 0 && point_ < static_cast<int>(Track.Points().size())) {
    const WorldPoint& point = Track.Points()[static_cast<size_t>(point_)];
    if (!std::isnan(point.X)) {
      const QPointF at = PixelOf(point);
      Painter.setBrush(QColor(255, 230, 0));
      Painter.setPen(QPen(Qt::black, 2.5));
      Painter.drawEllipse(at, 8, 8);
      Painter.drawLine(at + QPointF(-13, 0), at + QPointF(-8, 0));
      Painter.drawLine(at + QPointF(8, 0), at + QPointF(13, 0));
    }
  }
}

void MapView::DrawPhotos(QPainter& Painter) {
  if (photos_.empty()) {
    return;
  }
  const QRectF view = QRectF(rect()).adjusted(-10, -10, 10, 10);
  // A camera body with its lens, centred on the place; the hovered one last, on top.
  const auto camera = [&Painter](const QPointF& At, bool Hovered) {
    const QColor body = Hovered ? QColor(200, 40, 120) : QColor(40, 40, 48);
    Painter.setPen(QPen(Qt::white, 1.5));
    Painter.setBrush(body);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(At + QPointF(-8, -5), QSizeF(16, 11)), 2, 2);
    shape.addRect(QRectF(At + QPointF(-4, -8), QSizeF(6, 3)));
    Painter.drawPath(shape.simplified());
    Painter.setBrush(Qt::white);
    Painter.setPen(Qt::NoPen);
    Painter.drawEllipse(At + QPointF(0, 0.5), 3.6, 3.6);
    Painter.setBrush(body);
    Painter.drawEllipse(At + QPointF(0, 0.5), 2, 2);
  };
  for (int i = 0; i < static_cast<int>(photos_.size()); ++i) {
    const QPointF at = PixelOf(photos_[static_cast<size_t>(i)].At);
    if (i != hovered_ && view.contains(at)) {
      camera(at, false);
    }
  }
  if (hovered_ >= 0) {
    const MapPhoto& photo = photos_[static_cast<size_t>(hovered_)];
    camera(PixelOf(photo.At), true);
    DrawThumbnail(Painter, photo);
  }
}

void MapView::DrawThumbnail(QPainter& Painter, const MapPhoto& Photo) {
  const QImage* image = thumbnails_->Thumbnail(Photo.File);
  const QString name = Painter.fontMetrics().elidedText(QFileInfo(Photo.File).fileName(),
                                                        Qt::ElideMiddle, PhotoThumbnails::kSide);
  QSizeF picture(PhotoThumbnails::kSide, PhotoThumbnails::kSide * 2.0 / 3);
  QString missing;
  if (image == nullptr) {
    missing = "reading\u2026";
  } else if (image->isNull()) {
    missing = "no picture";
  } else {
    picture = image->size();
  }
  const double textHeight = Painter.fontMetrics().height() + 2;
  const double pad = 4;
  QSizeF box(std::max(picture.width(),
                      static_cast<double>(Painter.fontMetrics().horizontalAdvance(name))) +
                 2 * pad,
             picture.height() + textHeight + 2 * pad);
  // Above the mark, or below it when it is near the top; kept inside the view.
  const QPointF at = PixelOf(Photo.At);
  QPointF corner(at.x() - box.width() / 2, at.y() - 14 - box.height());
  if (corner.y() < 2) {
    corner.setY(at.y() + 14);
  }
  corner.setX(std::clamp(corner.x(), 2.0, std::max(2.0, width() - box.width() - 2)));
  const QRectF frame(corner, box);
  Painter.setPen(QPen(QColor(60, 60, 60), 1));
  Painter.setBrush(Qt::white);
  Painter.drawRoundedRect(frame, 3, 3);
  const QRectF area(corner + QPointF((box.width() - picture.width()) / 2, pad), picture);
  if (missing.isEmpty()) {
    Painter.drawImage(area.topLeft(), *image);
  } else {
    Painter.fillRect(area, QColor(230, 230, 230));
    Painter.setPen(kLabel);
    Painter.drawText(area, Qt::AlignCenter, missing);
  }
  Painter.setPen(QColor(40, 40, 40));
  Painter.drawText(QRectF(frame.left(), area.bottom() + 1, frame.width(), textHeight),
                   Qt::AlignCenter, name);
}

int MapView::PhotoAt(const QPointF& Pixel) const {
  int best = -1;
  double bestDistance = kPickPixels;
  for (int i = 0; i < static_cast<int>(photos_.size()); ++i) {
    const double distance = QLineF(PixelOf(photos_[static_cast<size_t>(i)].At), Pixel).length();
    if (distance <= bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

void MapView::Hover(int Photo) {
  if (Photo != hovered_) {
    hovered_ = Photo;
    update();
  }
}

void MapView::DrawScaleAndAttribution(QPainter& Painter) {
  Painter.setRenderHint(QPainter::Antialiasing, false);
  const QFontMetrics metrics = Painter.fontMetrics();
  const double metresPerPixel = MetresPerPixel(LatitudeOf(center_), zoom_);
  const double metres = ScaleBarMetres(metresPerPixel, std::min(150.0, width() / 3.0));
  if (metres > 0) {
    const double pixels = metres / metresPerPixel;
    const QRectF box(8, height() - 34, std::max(pixels, 40.0) + 16, 28);
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(QColor(255, 255, 255, 200));
    Painter.drawRect(box);
    const double base = box.bottom() - 6;
    Painter.setPen(QPen(QColor(40, 40, 40), 2));
    Painter.drawLine(QPointF(16, base), QPointF(16 + pixels, base));
    Painter.drawLine(QPointF(16, base - 4), QPointF(16, base));
    Painter.drawLine(QPointF(16 + pixels, base - 4), QPointF(16 + pixels, base));
    Painter.drawText(QRectF(box.left(), box.top(), box.width(), base - 4 - box.top()),
                     Qt::AlignCenter, DistanceText(metres));
  }
  const QString attribution = kAttribution;
  const QRectF text = metrics.boundingRect(attribution).adjusted(-4, -1, 4, 1);
  DrawBoxedText(Painter, text.translated(QPointF(width(), height()) - text.bottomRight()),
                attribution);
}

void MapView::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  layerDirty_ = true;
  if (fitDue_) {
    Fit(fitAllDue_);
  }
}

void MapView::wheelEvent(QWheelEvent* Event) {
  wheelSteps_ += Event->angleDelta().y();
  const int steps = wheelSteps_ / 120;
  if (steps == 0) {
    return;
  }
  wheelSteps_ -= steps * 120;
  // The place under the pointer stays there.
  const QPointF pointer = Event->position();
  const WorldPoint under = WorldAt(pointer);
  const int zoom = std::clamp(zoom_ + steps, 0, kMaxZoom);
  const double scale = WorldPixels(zoom);
  SetView(zoom, {under.X - (pointer.x() - width() / 2.0) / scale,
                 under.Y - (pointer.y() - height() / 2.0) / scale});
  Event->accept();
}

void MapView::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) {
    dragging_ = true;
    pressAt_ = Event->position();
    pressCenter_ = center_;
    setCursor(Qt::ClosedHandCursor);
  }
}

void MapView::mouseMoveEvent(QMouseEvent* Event) {
  if (dragging_) {
    const double scale = WorldPixels(zoom_);
    const QPointF moved = Event->position() - pressAt_;
    SetView(zoom_, {pressCenter_.X - moved.x() / scale, pressCenter_.Y - moved.y() / scale});
  } else if (!photos_.empty() || hovered_ >= 0) {
    Hover(PhotoAt(Event->position()));
  }
}

void MapView::leaveEvent(QEvent* Event) {
  QWidget::leaveEvent(Event);
  Hover(-1);
}

void MapView::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton || !dragging_) {
    return;
  }
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
  // A press and release in one spot is a click, not a drag.
  if ((Event->position() - pressAt_).manhattanLength() < 4) {
    SetView(zoom_, pressCenter_);
    Pick(Event->position());
  }
}

void MapView::Pick(const QPointF& Pixel) {
  const WorldPoint at = WorldAt(Pixel);
  const double reach = kPickPixels / WorldPixels(zoom_);
  // The current track wins over others drawn near it.
  if (current_ >= 0) {
    if (const auto point = tracks_[static_cast<size_t>(current_)].Nearest(at, reach)) {
      emit PointClicked(current_, *point);
      return;
    }
  }
  int bestTrack = -1;
  int bestPoint = -1;
  double bestDistance = reach;
  for (int i = 0; showAll_ && i < static_cast<int>(tracks_.size()); ++i) {
    if (const auto point = tracks_[static_cast<size_t>(i)].Nearest(at, bestDistance)) {
      const WorldPoint& p = tracks_[static_cast<size_t>(i)].Points()[static_cast<size_t>(*point)];
      bestDistance = std::hypot(p.X - at.X, p.Y - at.Y);
      bestTrack = i;
      bestPoint = *point;
    }
  }
  if (bestTrack >= 0) {
    emit PointClicked(bestTrack, bestPoint);
  }
}

} // namespace tarnwick::viewer
