#pragma once

#include <QComboBox>

#include <optional>
#include <string>

namespace tarnwick::viewer {

/// A zone chosen as the command line's --tz takes it: UTC, this computer's zone, or any zone of
/// the database, typed with completion or picked from the list.
class ZoneBox : public QComboBox {
 public:
  /// UtcCaption names the UTC entry ("UTC (logger clock)" where the logger's clock is meant).
  explicit ZoneBox(const QString& UtcCaption, QWidget* Parent = nullptr);

  /// "utc", "local" or the zone's name; nothing when the text names no zone of the database.
  std::optional<std::string> Setting() const;
  /// Shows Setting ("utc", "local" or a zone's name).
  void SetSetting(const std::string& Setting);

 private:
  QString utcCaption_;
};

} // namespace tarnwick::viewer
