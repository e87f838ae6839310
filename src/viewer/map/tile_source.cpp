#include "viewer/map/tile_source.hpp"

#include "viewer/map/map_settings.hpp"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace tarnwick::viewer {

namespace {

// Decoded tiles kept in memory, in KiB: some 500 tiles, several screens' worth.
constexpr int kMemoryKiB = 128 * 1024;
// A tile server that does not answer is given up on after this long.
constexpr int kTimeoutMs = 15'000;

} // namespace

TileSource::TileSource(const QString& Template, const QString& CacheFolder, qint64 DiskBytes,
                       QObject* Parent)
    : QObject(Parent), template_(Template), enabled_(MapSettings::IsUsableTileUrl(Template)),
      network_(new QNetworkAccessManager(this)), memory_(kMemoryKiB) {
  clock_.start();
  if (!CacheFolder.isEmpty()) {
    auto* cache = new QNetworkDiskCache(network_);
    cache->setCacheDirectory(CacheFolder);
    cache->setMaximumCacheSize(DiskBytes);
    network_->setCache(cache);
  }
  if (!Template.isEmpty() && !enabled_) {
    problem_ = "the tile address is not an http(s) address with {z}, {x} and {y}";
  }
}

TileSource::~TileSource() {
  // Replies still under way must not call back into a half-destroyed source.
  for (QNetworkReply* reply : std::as_const(pending_)) {
    reply->disconnect(this);
    reply->abort();
  }
}

const QImage* TileSource::Tile(const TileKey& Key) {
  const uint64_t key = PackedKey(Key);
  if (const QImage* image = memory_.object(key)) {
    return image;
  }
  if (!enabled_ || pending_.contains(key) || pending_.size() >= kMaxPending) {
    return nullptr;
  }
  if (const auto failed = failedAt_.constFind(key);
      failed != failedAt_.constEnd() && clock_.elapsed() - *failed < kRetryMs) {
    return nullptr;
  }
  QString url = template_;
  url.replace("{z}", QString::number(Key.Z))
      .replace("{x}", QString::number(Key.X))
      .replace("{y}", QString::number(Key.Y));
  QNetworkRequest request{QUrl(url)};
  request.setHeader(QNetworkRequest::UserAgentHeader, MapSettings::UserAgent());
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
  request.setTransferTimeout(kTimeoutMs);
  QNetworkReply* reply = network_->get(request);
  ++requested_;
  pending_.insert(key, reply);
  connect(reply, &QNetworkReply::finished, this, [this, reply, key] { Finished(reply, key); });
  return nullptr;
}

void TileSource::Finished(QNetworkReply* Reply, uint64_t Key) {
  pending_.remove(Key);
  Reply->deleteLater();
  QImage image;
  QString problem;
  if (Reply->error() != QNetworkReply::NoError) {
    problem = Reply->errorString();
  } else if (!image.loadFromData(Reply->readAll())) {
    problem = "the tile server sent something that is not an image";
  }
  if (!problem.isEmpty()) {
    failedAt_.insert(Key, clock_.elapsed());
    SetProblem(problem);
  } else {
    failedAt_.remove(Key);
    auto* tile = new QImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    memory_.insert(Key, tile, static_cast<int>(tile->sizeInBytes() / 1024) + 1);
    SetProblem({});
  }
  emit Changed();
}

void TileSource::SetProblem(const QString& Problem) {
  if (Problem != problem_) {
    const bool was = problem_.isEmpty();
    problem_ = Problem;
    // One report per change between usable and not, never one per failed tile.
    if (was != Problem.isEmpty()) {
      emit ProblemChanged(problem_);
    }
  }
}

} // namespace tarnwick::viewer
