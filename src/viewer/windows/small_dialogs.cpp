#include "viewer/windows/small_dialogs.hpp"

#include "platform/serial_ports.hpp"
#include "support/own_version_info.hpp"
#include "viewer/windows/error_display.hpp"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

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
  TPortSelDialog dialog(GetComPorts(), Parent);
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
    lstDevices_->addItem(QString::fromStdString(info->Name));
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
  return prefs;
}

void SaveGpxPreferences(const GPXPreferences& Preferences) {
  QSettings settings;
  settings.setValue("gpx/version", QString::fromStdString(Preferences.Version));
  settings.setValue("gpx/extensions", Preferences.OutputExtensions);
  settings.setValue("gpx/strict", Preferences.Strict);
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
  auto* inner = new QVBoxLayout(group);
  auto* versions = new QHBoxLayout;
  versions->addWidget(gpx10_);
  versions->addWidget(gpx11_);
  versions->addStretch();
  inner->addLayout(versions);
  inner->addWidget(extensions_);
  inner->addWidget(strict_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
  SetPreferences(LoadGpxPreferences());
  resize(314, 172);
}

GPXPreferences TPreferencesDialog::Preferences() const {
  GPXPreferences prefs;
  prefs.Version = gpx10_->isChecked() ? "1.0" : "1.1";
  prefs.OutputExtensions = extensions_->isChecked();
  prefs.Strict = strict_->isChecked();
  return prefs;
}

void TPreferencesDialog::SetPreferences(const GPXPreferences& Preferences) {
  gpx10_->setChecked(Preferences.Version == "1.0");
  gpx11_->setChecked(Preferences.Version != "1.0");
  extensions_->setChecked(Preferences.OutputExtensions);
  strict_->setChecked(Preferences.Strict);
}

bool TPreferencesDialog::Execute(QWidget* Parent) {
  TPreferencesDialog dialog(Parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  SaveGpxPreferences(dialog.Preferences());
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
    QDesktopServices::openUrl(QUrl(SupportAddress()));
  } catch (const std::exception& e) {
    ShowError(Parent, QString::fromStdString(e.what()));
  }
}

} // namespace tarnwick::viewer
