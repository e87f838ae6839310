#include "viewer/windows/zone_box.hpp"

#include "support/time_zone.hpp"

#include <QCompleter>

namespace tarnwick::viewer {

namespace {

const char* const kZoneLocal = "this computer's zone";

} // namespace

ZoneBox::ZoneBox(const QString& UtcCaption, QWidget* Parent)
    : QComboBox(Parent), utcCaption_(UtcCaption) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  addItem(utcCaption_);
  addItem(kZoneLocal);
  QStringList names;
  for (const auto& name : TimeZone::Names()) {
    names.append(QString::fromStdString(name));
  }
  addItems(names);
  auto* completer = new QCompleter(names, this);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setFilterMode(Qt::MatchContains);
  setCompleter(completer);
}

std::optional<std::string> ZoneBox::Setting() const {
  const QString text = currentText().trimmed();
  if (text == utcCaption_) {
    return "utc";
  }
  if (text == kZoneLocal) {
    return "local";
  }
  try {
    return TimeZone::FromSetting(text.toStdString()).Setting();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void ZoneBox::SetSetting(const std::string& Setting) {
  if (Setting == "utc") {
    setCurrentIndex(0);
  } else if (Setting == "local") {
    setCurrentIndex(1);
  } else {
    setCurrentText(QString::fromStdString(Setting));
  }
}

} // namespace tarnwick::viewer
