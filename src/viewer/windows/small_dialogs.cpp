#include "viewer/windows/small_dialogs.hpp"

#include "logger/year_era.hpp"
#include "platform/serial_ports.hpp"
#include "support/own_version_info.hpp"
#include "support/time_zone.hpp"
#include "viewer/map/map_settings.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/zone_box.hpp"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#ifdef TARNWICK_HAVE_ICON
// The icon is compiled into this static library, whose resource initialiser the linker would
// otherwise leave out.
static void InitViewerResources() {
  Q_INIT_RESOURCE(viewer);
}
#endif

namespace tarnwick::viewer {

QIcon ProgramIcon() {
#ifdef TARNWICK_HAVE_ICON
  static const bool loaded = [] {
    InitViewerResources();
    return true;
  }();
  (void)loaded;
#endif
  return QIcon(":/tarnwick.png");
}

namespace {

// OK bound to Action (enabled by it), Cancel closing with Cancel.
QHBoxLayout* OkCancelRow(QDialog* Dialog, QAction* Action, bool OkIsDefault) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton(Action->text(), Dialog);
  ok->setObjectName("cmdOK");
  ok->setDefault(OkIsDefault);
  ok->setAutoDefault(OkIsDefault);
  ok->setEnabled(Action->isEnabled());
  QObject::connect(Action, &QAction::changed, ok,
                   [ok, Action] { ok->setEnabled(Action->isEnabled()); });
  QObject::connect(ok, &QPushButton::clicked, Action, &QAction::trigger);
  auto* cancel = new QPushButton("Cancel", Dialog);
  cancel->setObjectName("cmdCancel");
  cancel->setAutoDefault(false);
  QObject::connect(cancel, &QPushButton::clicked, Dialog, &QDialog::reject);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

} // namespace

// ---- port selection --------------------------------------------------------------------

TPortSelDialog::TPortSelDialog(const std::vector<std::string>& PortNames, QWidget* Parent)
    : QDialog(Parent) {
  setObjectName("TPortSelDialog");
  setWindowTitle("COM Port Select Dialog");
  lstComPort_ = new QListWidget(this);
  lstComPort_->setObjectName("lstComPort");
  for (const auto& name : PortNames) {
    lstComPort_->addItem(QString::fromStdString(name));
  }
  if (PortNames.size() == 1) {
    lstComPort_->setCurrentRow(0);
  } else {
    lstComPort_->setCurrentRow(-1);
  }
  auto* chunk = new QGroupBox("ChunkSize", this);
  chunk->setObjectName("rgChunkSize");
  auto* chunk8 = new QRadioButton("8", chunk);
  chunk16_ = new QRadioButton("16", chunk);
  chunk8->setChecked(true);
  auto* chunkRow = new QHBoxLayout(chunk);
  chunkRow->addWidget(chunk8);
  chunkRow->addWidget(chunk16_);

  actComPortOK_ = new QAction("OK", this);
  actComPortOK_->setObjectName("actComPortOK");
  const auto update = [this] {
    actComPortOK_->setEnabled(!lstComPort_->selectedItems().isEmpty());
  };
  update();
  connect(lstComPort_, &QListWidget::itemSelectionChanged, this, update);
  connect(actComPortOK_, &QAction::triggered, this, [this] {
    if (actComPortOK_->isEnabled()) {
      accept();
    }
  });
  connect(lstComPort_, &QListWidget::itemDoubleClicked, actComPortOK_, &QAction::trigger);

  auto* right = new QVBoxLayout;
  right->addWidget(chunk);
  right->addStretch();
  right->addLayout(OkCancelRow(this, actComPortOK_, true));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(lstComPort_);
  layout->addLayout(right);
  resize(338, 157);
}

std::string TPortSelDialog::PortName() const {
  const auto items = lstComPort_->selectedItems();
  return items.isEmpty() ? std::string() : items.first()->text().toStdString();
}

int TPortSelDialog::ChunkSize() const {
  return chunk16_->isChecked() ? 16 : 8;
}

std::unique_ptr<TIgotUPort> TPortSelDialog::Execute(QWidget* Parent) {
  return Execute(Parent, GetComPorts());
}

std::unique_ptr<TIgotUPort> TPortSelDialog::Execute(QWidget* Parent,
                                                    const std::vector<std::string>& PortNames) {
  TPortSelDialog dialog(PortNames, Parent);
  if (dialog.exec() != QDialog::Accepted) {
    return nullptr;
  }
  auto port = CreateComPort(dialog.PortName());
  port->SetChunkSize(dialog.ChunkSize());
  return port;
}

// ---- device selection ------------------------------------------------------------------

TDevicesDialog::TDevicesDialog(const TIGotUDeviceInfoList& List, QWidget* Parent)
    : QDialog(Parent) {
  setObjectName("TDevicesDialog");
  setWindowTitle("Device Select Dialog");
  lstDevices_ = new QListWidget(this);
  lstDevices_->setObjectName("lstDevices");
  for (const auto& info : List) {
    lstDevices_->addItem(EntryText(*info));
  }
  lstDevices_->setCurrentRow(-1);
  actDeviceOK_ = new QAction("OK", this);
  actDeviceOK_->setObjectName("actDeviceOK");
  const auto update = [this] { actDeviceOK_->setEnabled(SelectedIndex() >= 0); };
  update();
  connect(lstDevices_, &QListWidget::itemSelectionChanged, this, update);
  connect(actDeviceOK_, &QAction::triggered, this, [this] {
    if (actDeviceOK_->isEnabled()) {
      accept();
    }
  });
  connect(lstDevices_, &QListWidget::itemDoubleClicked, actDeviceOK_, &QAction::trigger);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lstDevices_);
  layout->addLayout(OkCancelRow(this, actDeviceOK_, false));
  resize(394, 212);
}

QString TDevicesDialog::EntryText(const TIGotUDeviceInfo& Info) {
  QString text = QString::fromStdString(Info.Name);
  const auto* serial = dynamic_cast<const SerialDeviceInfo*>(&Info);
  if (serial != nullptr && !serial->ComPort.empty() &&
      !text.contains(QString::fromStdString(serial->ComPort))) {
    text += (text.isEmpty() ? "(" : " (") + QString::fromStdString(serial->ComPort) + ")";
  }
  return text;
}

void TDevicesDialog::SetList(const TIGotUDeviceInfoList& List) {
  const auto items = lstDevices_->selectedItems();
  const QString chosen = items.isEmpty() ? QString() : items.first()->text();
  const QSignalBlocker block(lstDevices_);
  lstDevices_->clear();
  int row = -1;
  for (const auto& info : List) {
    const QString text = EntryText(*info);
    if (text == chosen) {
      row = lstDevices_->count();
    }
    lstDevices_->addItem(text);
  }
  lstDevices_->setCurrentRow(row);
  if (row < 0) {
    lstDevices_->clearSelection();
  }
  actDeviceOK_->setEnabled(SelectedIndex() >= 0);
}

int TDevicesDialog::SelectedIndex() const {
  const auto items = lstDevices_->selectedItems();
  return items.isEmpty() ? -1 : lstDevices_->row(items.first());
}

int TDevicesDialog::Execute(QWidget* Parent, const TIGotUDeviceInfoList& List) {
  TDevicesDialog dialog(List, Parent);
  return dialog.exec() == QDialog::Accepted ? dialog.SelectedIndex() : -1;
}

// ---- preferences -----------------------------------------------------------------------

GPXPreferences LoadGpxPreferences() {
  const QSettings settings;
  GPXPreferences prefs;
  prefs.Version = settings.value("gpx/version", "1.1").toString() == "1.0" ? "1.0" : "1.1";
  prefs.OutputExtensions = settings.value("gpx/extensions", true).toBool();
  prefs.Strict = settings.value("gpx/strict", false).toBool();
  prefs.UtcDesignator = settings.value("gpx/utcDesignator", false).toBool();
  return prefs;
}

void SaveGpxPreferences(const GPXPreferences& Preferences) {
  QSettings settings;
  settings.setValue("gpx/version", QString::fromStdString(Preferences.Version));
  settings.setValue("gpx/extensions", Preferences.OutputExtensions);
  settings.setValue("gpx/strict", Preferences.Strict);
  settings.setValue("gpx/utcDesignator", Preferences.UtcDesignator);
}

TimePreferences LoadTimePreferences() {
  const QSettings settings;
  TimePreferences prefs;
  const std::string era = settings.value("time/yearEra", "auto").toString().toStdString();
  try {
    YearEra::CheckSetting(era);
    prefs.YearEra = era;
  } catch (const std::exception&) {
    // A setting edited by hand that the program cannot read: the default.
  }
  const std::string zone = settings.value("time/zone", "utc").toString().toStdString();
  try {
    prefs.Zone = TimeZone::FromSetting(zone).Setting();
  } catch (const std::exception&) {
  }
  return prefs;
}

void SaveTimePreferences(const TimePreferences& Preferences) {
  QSettings settings;
  settings.setValue("time/yearEra", QString::fromStdString(Preferences.YearEra));
  settings.setValue("time/zone", QString::fromStdString(Preferences.Zone));
}

StatsSettings LoadHeartRatePreferences() {
  const QSettings settings;
  StatsSettings prefs;
  bool ok = false;
  const int max = settings.value("heartRate/maximum", 190).toInt(&ok);
  if (ok && max >= 60 && max <= 250) {
    prefs.MaxHeartRate = max;
  }
  const QStringList zones = settings.value("heartRate/zonePercent").toStringList();
  if (zones.size() == 5) {
    std::array<double, 5> percent{};
    bool rising = true;
    for (int i = 0; i < 5 && rising; ++i) {
      percent[i] = zones[i].toInt(&ok);
      rising =
          ok && percent[i] >= 10 && percent[i] <= 120 && (i == 0 || percent[i] > percent[i - 1]);
    }
    if (rising) {
      prefs.ZonePercent = percent;
    }
  }
  return prefs;
}

void SaveHeartRatePreferences(const StatsSettings& Settings) {
  QSettings settings;
  settings.setValue("heartRate/maximum", static_cast<int>(Settings.MaxHeartRate));
  QStringList zones;
  for (const double p : Settings.ZonePercent) {
    zones.append(QString::number(static_cast<int>(p)));
  }
  settings.setValue("heartRate/zonePercent", zones);
}

TPreferencesDialog::TPreferencesDialog(QWidget* Parent) : QDialog(Parent) {
  setObjectName("TPreferencesDialog");
  setWindowTitle("Preferences");
  auto* group = new QGroupBox("GPX output", this);
  gpx10_ = new QRadioButton("GPX1.0(&0)", group);
  gpx10_->setObjectName("rbGpx10");
  gpx11_ = new QRadioButton("GPX1.1(&1)", group);
  gpx11_->setObjectName("rbGpx11");
  extensions_ = new QCheckBox("Output extensions(&E)", group);
  extensions_->setObjectName("chkExtensions");
  strict_ = new QCheckBox("schema-valid (strict)", group);
  strict_->setObjectName("chkStrict");
  utc_ = new QCheckBox("times marked as UTC (\"Z\")", group);
  utc_->setObjectName("chkUtcDesignator");
  utc_->setToolTip("Readers that take a time without a zone as local time misplace the track "
                   "by the zone's offset; the mark tells them the logger's clock is UTC.");
  auto* inner = new QVBoxLayout(group);
  auto* versions = new QHBoxLayout;
  versions->addWidget(gpx10_);
  versions->addWidget(gpx11_);
  versions->addStretch();
  inner->addLayout(versions);
  inner->addWidget(extensions_);
  inner->addWidget(strict_);
  inner->addWidget(utc_);

  auto* times = new QGroupBox("Times", this);
  era_ = new QComboBox(times);
  era_->setObjectName("cboYearEra");
  era_->addItem("by the download date", "auto");
  era_->addItem("as recorded (2000-2015)", "recorded");
  era_->addItem("from a first year", "first");
  era_->setToolTip("The logger counts years in four bits: which of the years 16 apart a record "
                   "means.");
  firstYear_ = new QSpinBox(times);
  firstYear_->setObjectName("spnFirstYear");
  firstYear_->setRange(2000, 9984);
  firstYear_->setValue(2016);
  connect(era_, &QComboBox::currentIndexChanged, this,
          [this] { firstYear_->setEnabled(era_->currentData().toString() == "first"); });
  auto* eraRow = new QHBoxLayout;
  eraRow->addWidget(era_, 1);
  eraRow->addWidget(firstYear_);
  zone_ = new ZoneBox("UTC (logger clock)", times);
  zone_->setObjectName("cboZone");
  auto* timesForm = new QFormLayout(times);
  timesForm->addRow("Years", eraRow);
  timesForm->addRow("Zone", zone_);

  auto* map = new QGroupBox("Map", this);
  tileUrl_ = new QLineEdit(MapSettings::TileUrl(), map);
  tileUrl_->setObjectName("edtTileUrl");
  tileUrl_->setPlaceholderText("no tiles: a plain map");
  tileUrl_->setToolTip(QString("Where map tiles come from: {z}, {x} and {y} stand for zoom, "
                               "column and row. The standard tiles: ") +
                       MapSettings::kDefaultTileUrl);
  auto* mapForm = new QFormLayout(map);
  mapForm->addRow("Tiles", tileUrl_);

  auto* heart = new QGroupBox("Heart rate", this);
  const StatsSettings hr = LoadHeartRatePreferences();
  maxHeartRate_ = new QSpinBox(heart);
  maxHeartRate_->setObjectName("spnMaxHeartRate");
  maxHeartRate_->setRange(60, 250);
  maxHeartRate_->setSuffix(" bpm");
  maxHeartRate_->setValue(static_cast<int>(hr.MaxHeartRate));
  auto* zoneRow = new QHBoxLayout;
  for (size_t i = 0; i < zonePercent_.size(); ++i) {
    auto* spin = new QSpinBox(heart);
    spin->setObjectName(QString("spnZone%1").arg(i + 1));
    spin->setRange(10, 120);
    spin->setSuffix(" %");
    spin->setValue(static_cast<int>(hr.ZonePercent[i]));
    spin->setToolTip(QString("Zone %1 starts at this share of the maximum heart rate").arg(i + 1));
    zonePercent_[i] = spin;
    zoneRow->addWidget(spin);
  }
  auto* heartForm = new QFormLayout(heart);
  heartForm->addRow("Maximum", maxHeartRate_);
  heartForm->addRow("Zones from", zoneRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(times);
  layout->addWidget(map);
  layout->addWidget(heart);
  layout->addWidget(buttons);
  SetPreferences(LoadGpxPreferences());
  SetTimes(LoadTimePreferences());
  resize(std::max(sizeHint().width(), 360), sizeHint().height());
}

GPXPreferences TPreferencesDialog::Preferences() const {
  GPXPreferences prefs;
  prefs.Version = gpx10_->isChecked() ? "1.0" : "1.1";
  prefs.OutputExtensions = extensions_->isChecked();
  prefs.Strict = strict_->isChecked();
  prefs.UtcDesignator = utc_->isChecked();
  return prefs;
}

void TPreferencesDialog::SetPreferences(const GPXPreferences& Preferences) {
  gpx10_->setChecked(Preferences.Version == "1.0");
  gpx11_->setChecked(Preferences.Version != "1.0");
  extensions_->setChecked(Preferences.OutputExtensions);
  strict_->setChecked(Preferences.Strict);
  utc_->setChecked(Preferences.UtcDesignator);
}

TimePreferences TPreferencesDialog::Times() const {
  TimePreferences times;
  const QString era = era_->currentData().toString();
  times.YearEra = era == "first" ? std::to_string(firstYear_->value()) : era.toStdString();
  times.Zone = zone_->Setting().value_or("utc");
  return times;
}

void TPreferencesDialog::SetTimes(const TimePreferences& Times) {
  if (Times.YearEra == "auto" || Times.YearEra == "recorded") {
    era_->setCurrentIndex(era_->findData(QString::fromStdString(Times.YearEra)));
  } else {
    era_->setCurrentIndex(era_->findData("first"));
    firstYear_->setValue(QString::fromStdString(Times.YearEra).toInt());
  }
  firstYear_->setEnabled(era_->currentData().toString() == "first");
  zone_->SetSetting(Times.Zone);
}

StatsSettings TPreferencesDialog::HeartRate() const {
  StatsSettings hr;
  hr.MaxHeartRate = maxHeartRate_->value();
  for (size_t i = 0; i < zonePercent_.size(); ++i) {
    hr.ZonePercent[i] = zonePercent_[i]->value();
  }
  return hr;
}

QString TPreferencesDialog::TileUrl() const {
  return tileUrl_->text().trimmed();
}

void TPreferencesDialog::accept() {
  if (!zone_->Setting()) {
    ShowError(this, "unknown time zone \"" + zone_->currentText().trimmed() +
                        "\": choose one of the list, such as Europe/Helsinki");
    return;
  }
  if (!TileUrl().isEmpty() && !MapSettings::IsUsableTileUrl(TileUrl())) {
    ShowError(this, "the map's tile address must be an http or https address with {z}, {x} "
                    "and {y}, or empty for no tiles");
    return;
  }
  const StatsSettings hr = HeartRate();
  for (size_t i = 1; i < hr.ZonePercent.size(); ++i) {
    if (hr.ZonePercent[i] <= hr.ZonePercent[i - 1]) {
      ShowError(this, "each heart-rate zone must start above the one before it");
      return;
    }
  }
  QDialog::accept();
}

bool TPreferencesDialog::Execute(QWidget* Parent) {
  TPreferencesDialog dialog(Parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  SaveGpxPreferences(dialog.Preferences());
  SaveTimePreferences(dialog.Times());
  SaveHeartRatePreferences(dialog.HeartRate());
  if (dialog.TileUrl() != MapSettings::TileUrl()) {
    MapSettings::SetTileUrl(dialog.TileUrl());
  }
  return true;
}

// ---- about -----------------------------------------------------------------------------

TAboutDialog::TAboutDialog(QWidget* Parent) : QDialog(Parent) {
  const TVerInfo info = OwnVersionInfo();
  setObjectName("TAboutDialog");
  setWindowTitle("About");
  auto* title = new QLabel("RaruviRoduvi Tarnwick for Windows", this);
  title->setObjectName("lblTitle");
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 13 / 11);
  title->setFont(big);
  auto* picture = new QLabel(this);
  picture->setObjectName("imgIcon");
  picture->setPixmap(ProgramIcon().pixmap(64, 64));
  picture->setFixedSize(64, 64);
  auto* version = new QLabel(QString::fromStdString(info.FileVersion()), this);
  version->setObjectName("lblVersion");
  auto* copyright = new QLabel(QString::fromStdString(info.LegalCopyright()), this);
  copyright->setObjectName("lblCopyright");
  const QString url = TARNWICK_MAKER_URL;
  auto* link = new QLabel(QString("<a href=\"%1\" style=\"color:blue; font-weight:bold\">%1</a>")
                              .arg(url.toHtmlEscaped()),
                          this);
  link->setObjectName("lblURL");
  link->setCursor(Qt::PointingHandCursor);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  connect(link, &QLabel::linkActivated, this,
          [](const QString& Url) { QDesktopServices::openUrl(QUrl(Url)); });
  auto* ok = new QPushButton("OK", this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(title);
  auto* versionRow = new QHBoxLayout;
  versionRow->addWidget(new QLabel("Version:", this));
  versionRow->addWidget(version);
  versionRow->addStretch();
  texts->addLayout(versionRow);
  texts->addWidget(copyright);
  texts->addWidget(link);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addLayout(texts);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutDialog::Display(QWidget* Parent) {
  try {
    TAboutDialog dialog(Parent);
    dialog.exec();
  } catch (const std::exception& e) {
    ShowError(Parent, QString::fromStdString(e.what()));
  }
}

QString TAboutDialog::SupportAddress() {
  return QString("%1?version=%2")
      .arg(TARNWICK_SUPPORT_URL, QString::fromStdString(OwnVersionInfo().FileVersion()));
}

void TAboutDialog::ShowSupport(QWidget* Parent) {
  try {
    const QString address = SupportAddress();
    if (!QDesktopServices::openUrl(QUrl(address))) {
      ShowError(Parent,
                "No web browser could be started for the support page. Its address is " + address);
    }
  } catch (const std::exception& e) {
    ShowError(Parent, QString::fromStdString(e.what()));
  }
}

} // namespace tarnwick::viewer
