#pragma once

#include "viewer/map/tile_math.hpp"

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace tarnwick::viewer {

/// Raster tiles from an XYZ template, fetched in the background with QNetworkAccessManager
/// and kept twice: decoded in memory for redraws, and as the server sent them in a
/// QNetworkDiskCache of bounded size, so a tile seen once is not asked for again while the
/// server lets it be kept. A tile that failed is not asked for again for a while, so a
/// missing network costs one status line rather than a stream of requests.
class TileSource : public QObject {
  Q_OBJECT

 public:
  /// How long a failed tile is left alone before it is asked for again.
  static constexpr qint64 kRetryMs = 60'000;
  /// The most requests under way at once; more wait for the next redraw.
  static constexpr int kMaxPending = 24;

  /// Tiles from Template (empty or unusable: none), cached on disk in CacheFolder (empty: in
  /// memory only) up to DiskBytes.
  TileSource(const QString& Template, const QString& CacheFolder, qint64 DiskBytes,
             QObject* Parent = nullptr);
  ~TileSource() override;
  TileSource(const TileSource&) = delete;
  TileSource& operator=(const TileSource&) = delete;

  const QString& Template() const { return template_; }
  /// Whether there is a template to fetch from.
  bool Enabled() const { return enabled_; }
  /// The tile when it is at hand; otherwise asks for it, unless it is under way or failed
  /// lately, and returns null: Changed tells when it came.
  const QImage* Tile(const TileKey& Key);
  /// Why tiles cannot be had at the moment; empty while they can.
  QString Problem() const { return problem_; }
  /// Whether no request is under way.
  bool Idle() const { return pending_.isEmpty(); }
  /// Requests sent so far (answered from the disk cache or not).
  int Requested() const { return requested_; }

 signals:
  /// A tile came or failed: a redraw shows it.
  void Changed();
  /// Tiles became unavailable (Problem says why) or available again (Problem is empty).
  void ProblemChanged(const QString& Problem);

 private:
  void Finished(QNetworkReply* Reply, uint64_t Key);
  void SetProblem(const QString& Problem);

  QString template_;
  bool enabled_ = false;
  QNetworkAccessManager* network_;
  QCache<uint64_t, QImage> memory_;
  QHash<uint64_t, QNetworkReply*> pending_;
  QHash<uint64_t, qint64> failedAt_;
  QElapsedTimer clock_;
  QString problem_;
  int requested_ = 0;
};

} // namespace tarnwick::viewer
