#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

namespace tarnwick::viewer {

/// Small pictures of photos for the map's hover, decoded on a thread of their own at the size
/// they are shown (QImageReader scales a JPEG while it decodes, so a 24-megapixel photo costs
/// a fraction of a full decode) and kept for the next hover.
class PhotoThumbnails : public QObject {
  Q_OBJECT

 public:
  /// The longer side of a thumbnail, in pixels.
  static constexpr int kSide = 160;

  explicit PhotoThumbnails(QObject* Parent = nullptr);
  ~PhotoThumbnails() override;
  PhotoThumbnails(const PhotoThumbnails&) = delete;
  PhotoThumbnails& operator=(const PhotoThumbnails&) = delete;

  /// The thumbnail of File when it is at hand (a null image when the file could not be read);
  /// otherwise starts reading it and returns null: Ready tells when it came.
  const QImage* Thumbnail(const QString& File);
  /// Whether no thumbnail is being read.
  bool Idle() const { return pending_.isEmpty(); }

  /// File read and scaled to fit a square of Side pixels, its orientation tag applied; a null
  /// image when it cannot be read.
  static QImage Read(const QString& File, int Side);

 signals:
  /// The thumbnail of File was read (or failed).
  void Ready(const QString& File);

 private:
  void Arrived(const QString& File, const QImage& Image);

  QCache<QString, QImage> cache_;
  QSet<QString> pending_;
  // Last member: its destructor waits for the reads under way while the rest still lives.
  QThreadPool pool_;
};

} // namespace tarnwick::viewer
