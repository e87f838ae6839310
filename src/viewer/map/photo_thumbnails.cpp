#include "viewer/map/photo_thumbnails.hpp"

#include <QImageReader>
#include <QMetaObject>

namespace tarnwick::viewer {

namespace {

// Thumbnails kept in memory, about 100 KB each.
constexpr int kCached = 256;

} // namespace

PhotoThumbnails::PhotoThumbnails(QObject* Parent) : QObject(Parent), cache_(kCached) {
  // One reader: hovering is one photo at a time, and the shared cores have other work.
  pool_.setMaxThreadCount(1);
}

PhotoThumbnails::~PhotoThumbnails() {
  pool_.clear();
  pool_.waitForDone();
}

QImage PhotoThumbnails::Read(const QString& File, int Side) {
  QImageReader reader(File);
  reader.setAutoTransform(true);
  const QSize full = reader.size();
  if (!full.isValid()) {
    return {};
  }
  // The box is square, so the orientation tag, applied after scaling, keeps it inside.
  reader.setScaledSize(full.scaled(Side, Side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  QImage image = reader.read();
  return image;
}

const QImage* PhotoThumbnails::Thumbnail(const QString& File) {
  if (const QImage* image = cache_.object(File)) {
    return image;
  }
  if (!pending_.contains(File)) {
    pending_.insert(File);
    pool_.start([this, File] {
      const QImage image = Read(File, kSide);
      QMetaObject::invokeMethod(
          this, [this, File, image] { Arrived(File, image); }, Qt::QueuedConnection);
    });
  }
  return nullptr;
}

void PhotoThumbnails::Arrived(const QString& File, const QImage& Image) {
  pending_.remove(File);
  cache_.insert(File, new QImage(Image));
  emit Ready(File);
}

} // namespace tarnwick::viewer
