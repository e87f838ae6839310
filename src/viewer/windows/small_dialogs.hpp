#pragma once

#include "analysis/track_stats.hpp"
#include "device/device_info.hpp"
#include "device/port.hpp"
#include "gpx/igotu_to_gpx.hpp"

#include <QDialog>
#include <QIcon>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QRadioButton;
class QLabel;

namespace tarnwick::viewer {

class ZoneBox;

/// The program's icon (empty when the build had no renderer for it).
QIcon ProgramIcon();

/// Choosing a serial port by hand, with its chunk size (a debug feature).
class TPortSelDialog : public QDialog {
 public:
  /// A dialog listing PortNames; exactly one name is selected at once.
  TPortSelDialog(const std::vector<std::string>& PortNames, QWidget* Parent);
  /// Shows the dialog over Parent with the system's serial ports; after OK a new closed port
  /// for the chosen name with the chosen chunk size, which the caller owns; null after
  /// Cancel.
  static std::unique_ptr<TIgotUPort> Execute(QWidget* Parent);
  /// The same with the ports PortNames.
  static std::unique_ptr<TIgotUPort> Execute(QWidget* Parent,
                                             const std::vector<std::string>& PortNames);
  /// The chosen name and chunk size (8 or 16).
  std::string PortName() const;
  int ChunkSize() const;

 private:
  QListWidget* lstComPort_;
  QRadioButton* chunk16_;
  QAction* actComPortOK_;
};

/// Choosing one of several loggers found, each named with its port.
class TDevicesDialog : public QDialog {
 public:
  TDevicesDialog(const TIGotUDeviceInfoList& List, QWidget* Parent);
  /// The chosen index after OK, -1 after Cancel.
  static int Execute(QWidget* Parent, const TIGotUDeviceInfoList& List);
  int SelectedIndex() const;
  /// Lists List instead (the loggers changed while the dialog is open); the logger chosen
  /// stays chosen when it is still listed.
  void SetList(const TIGotUDeviceInfoList& List);
  /// A logger as the dialog lists it: its name and, when it has one, its port
  /// ("i-gotU GT-900 (/dev/ttyACM0)").
  static QString EntryText(const TIGotUDeviceInfo& Info);

 private:
  QListWidget* lstDevices_;
  QAction* actDeviceOK_;
};

/// The GPX export preferences, kept in the user's configuration (QSettings).
GPXPreferences LoadGpxPreferences();
void SaveGpxPreferences(const GPXPreferences& Preferences);

/// How the window reads and shows times, kept in the user's configuration: the year era
/// ("auto", "recorded" or a first year) and the zone ("utc", "local" or a zone's name), both
/// as the command line's --year-era and --tz take them.
struct TimePreferences {
  std::string YearEra = "auto";
  std::string Zone = "utc";
};
/// The saved time preferences; a stored text that is not valid reads as the default.
TimePreferences LoadTimePreferences();
void SaveTimePreferences(const TimePreferences& Preferences);

/// The heart-rate limits the statistics use (a maximum and the zones' percentages of it), as
/// the preferences keep them; a value out of range or zones that do not rise give the defaults.
StatsSettings LoadHeartRatePreferences();
void SaveHeartRatePreferences(const StatsSettings& Settings);

/// Edits the GPX export preferences (version 1.0 or 1.1, extensions, schema-valid files, the
/// UTC designator), the time preferences (year era, display zone) and where the map's tiles
/// come from.
class TPreferencesDialog : public QDialog {
 public:
  explicit TPreferencesDialog(QWidget* Parent);
  /// Shows the saved preferences; OK saves what is chosen. True after OK.
  static bool Execute(QWidget* Parent);
  GPXPreferences Preferences() const;
  void SetPreferences(const GPXPreferences& Preferences);
  /// The time preferences chosen; the zone typed is taken when the database knows it.
  TimePreferences Times() const;
  StatsSettings HeartRate() const;
  void SetTimes(const TimePreferences& Times);
  /// The map's tile template (empty: no tiles).
  QString TileUrl() const;

  /// OK: only with a zone the database knows and a usable tile template (or none).
  void accept() override;

 private:
  QRadioButton* gpx10_;
  QRadioButton* gpx11_;
  QCheckBox* extensions_;
  QCheckBox* strict_;
  QCheckBox* utc_;
  QComboBox* era_;
  QSpinBox* firstYear_;
  ZoneBox* zone_;
  QLineEdit* tileUrl_;
  QSpinBox* maxHeartRate_;
  std::array<QSpinBox*, 5> zonePercent_{};
};

/// The about box: name, version and copyright of the program, the maker's web address.
class TAboutDialog : public QDialog {
 public:
  /// Raises EVerInfo when the program's version information cannot be read.
  explicit TAboutDialog(QWidget* Parent);
  /// Shows the about box over Parent; an error reaches the error display instead.
  static void Display(QWidget* Parent);
  /// Opens the maker's support page with "?version=" and the program's file version; says so
  /// in the error display when no web browser can open it.
  static void ShowSupport(QWidget* Parent);
  /// The address ShowSupport opens.
  static QString SupportAddress();
};

} // namespace tarnwick::viewer
