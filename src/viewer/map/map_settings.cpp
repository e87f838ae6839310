#include "viewer/map/map_settings.hpp"

#include "support/version.hpp"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace tarnwick::viewer {

namespace {

const char* const kTileUrlKey = "map/tileUrl";
const char* const kAllTracksKey = "map/allTracks";

} // namespace

QString MapSettings::TileUrl() {
  const QSettings settings;
  if (!settings.contains(kTileUrlKey)) {
    // Test runs must never reach a real tile server.
    return QStandardPaths::isTestModeEnabled() ? QString() : QString(kDefaultTileUrl);
  }
  const QString url = settings.value(kTileUrlKey).toString().trimmed();
  return url.size() <= kMaxUrlLength ? url : QString();
}

void MapSettings::SetTileUrl(const QString& Url) {
  QSettings().setValue(kTileUrlKey, Url.trimmed());
}

bool MapSettings::IsUsableTileUrl(const QString& Url) {
  if (!Url.contains("{z}") || !Url.contains("{x}") || !Url.contains("{y}")) {
    return false;
  }
  const QUrl url(QString(Url).replace("{z}", "0").replace("{x}", "0").replace("{y}", "0"),
                 QUrl::StrictMode);
  return url.isValid() && (url.scheme() == "http" || url.scheme() == "https") &&
         !url.host().isEmpty();
}

bool MapSettings::AllTracks() {
  return QSettings().value(kAllTracksKey, false).toBool();
}

void MapSettings::SetAllTracks(bool All) {
  QSettings().setValue(kAllTracksKey, All);
}

QString MapSettings::CacheFolder() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath("tiles");
}

QByteArray MapSettings::UserAgent() {
  return QByteArray(kProductName) + '/' + kFileVersion;
}

} // namespace tarnwick::viewer
