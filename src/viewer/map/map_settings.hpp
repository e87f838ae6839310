#pragma once

#include <QString>

namespace tarnwick::viewer {

/// The map's preferences in the user's configuration (QSettings): where tiles come from and
/// whether all tracks are drawn. Tests and screenshots set them in their private
/// configuration folder.
class MapSettings {
 public:
  /// The OpenStreetMap standard tiles.
  static constexpr const char* kDefaultTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
  /// The most the tile cache on disk may hold.
  static constexpr qint64 kDiskCacheBytes = 200LL * 1024 * 1024;
  /// The longest template kept.
  static constexpr int kMaxUrlLength = 2048;

  /// The tiles' XYZ template ({z}, {x} and {y} stand for zoom, column and row); empty: no
  /// tiles, the map draws its plain background. Without a saved choice: the standard tiles,
  /// except in Qt's test mode, where nothing is fetched unless a test asks for it.
  static QString TileUrl();
  /// Saves Url as the template; an empty one switches tiles off.
  static void SetTileUrl(const QString& Url);
  /// Whether Url is a template the map can fetch from: http or https with {z}, {x} and {y}.
  static bool IsUsableTileUrl(const QString& Url);
  /// Whether the map draws every track of the image rather than the selected one.
  static bool AllTracks();
  static void SetAllTracks(bool All);
  /// The folder of the tiles' disk cache, in the user's cache folder.
  static QString CacheFolder();
  /// The User-Agent that tile requests carry: "Tarnwick/" and the version.
  static QByteArray UserAgent();
};

} // namespace tarnwick::viewer
