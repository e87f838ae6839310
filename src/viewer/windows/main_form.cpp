#include "viewer/windows/main_form.hpp"

#include "viewer/models/grid_model.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/config_dump_page.hpp"
#include "viewer/panes/log_message_page.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/points_dump_pane.hpp"
#include "viewer/panes/stats_pane.hpp"
#include "viewer/panes/tracks_pane.hpp"
#include "viewer/windows/debug_form.hpp"
#include "viewer/windows/device_control.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/file_actions.hpp"
#include "viewer/windows/geotag_dialog.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/job_runner.hpp"
#include "viewer/windows/memo_sink.hpp"
#include "viewer/windows/menu_item.hpp"
#include "viewer/windows/side_panes.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer/windows/viewer_settings.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tarnwick::viewer {

namespace {

// Base name of the viewer's debug log in the user's state folder.
constexpr const char* kLogAppID = "TarnwickWin";
const char* const kTitle = "RaruviRoduvi Tarnwick";

void SetTabShown(QTabWidget* Tabs, QWidget* Page, bool Shown) {
  Tabs->setTabVisible(Tabs->indexOf(Page), Shown);
}

// A dropped file the window opens: a memory image's status or block file, or a GPX file.
QString DroppedImage(const QMimeData* Data) {
  for (const QUrl& url : Data->urls()) {
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    if (url.isLocalFile() && (suffix == "dat" || suffix == "bin" || suffix == "gpx")) {
      return url.toLocalFile();
    }
  }
  return {};
}

} // namespace

TMainForm::TMainForm(const app::Settings& Settings, std::unique_ptr<TIgotUDevice> Device,
                     bool WatchDevices, QWidget* Parent)
    : QMainWindow(Parent), settings_(Settings), FCanDebug(Settings.Debug) {
  setObjectName("TMainForm");
  setWindowTitle(kTitle);
  setAcceptDrops(true);
  // The debug log, the engine and the control, with the window's memo as the status sink.
  link_ = std::make_unique<app::LoggerLink>(Settings, kLogAppID, std::move(Device));
  session_ = new SessionModel(this);
  selection_ = new Selection(this);
  jobs_ = new JobRunner(this);
  device_ = new DeviceControl(*link_, *session_, *jobs_, this, WatchDevices);
  files_ = new FileActions(*session_, *jobs_, this);
  files_->setObjectName("fileActions");

  CreateActions();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(CreateTopRow(central));
  lblWarning_ = new QLabel(central);
  lblWarning_->setObjectName("lblWarning");
  lblWarning_->setWordWrap(true);
  lblWarning_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblWarning_->setStyleSheet("QLabel { background: #fff4c2; color: #4a3b00; "
                             "border: 1px solid #d9b84a; padding: 4px; }");
  lblWarning_->hide();
  layout->addWidget(lblWarning_);

  pageControl1_ = new QTabWidget(central);
  pageControl1_->setObjectName("PageControl1");
  tracks_ = new TracksPane(*session_, *selection_, LocaleDecimalSeparator());
  pageControl1_->addTab(tracks_, "Tracks");
  configDump_ = new ConfigDumpPage(*session_);
  pageControl1_->addTab(configDump_, "ConfigDump");
  logMessages_ = new LogMessagePage(*session_);
  pageControl1_->addTab(logMessages_, "LogMessage");
  pointsDump_ = new PointsDumpPane(*session_, actSkipToInterval_, LocaleDecimalSeparator());
  pageControl1_->addTab(pointsDump_, "PointsDump");
  layout->addWidget(WithSidePanes(pageControl1_, *session_, *selection_, statusBar()), 1);
  setCentralWidget(central);
  grids_ = tracks_->Grids();
  grids_.append(pointsDump_->Grid());
  tracks_->TracksGrid()->AddContextAction(actSaveTracksGPX_);

  // How the records' years and times are read, beside the messages: the era's reasons are in
  // its tooltip.
  lblEraValue_ = new QLabel(this);
  lblEraValue_->setObjectName("lblEraValue");
  lblZone_ = new QLabel(this);
  lblZone_->setObjectName("lblZone");
  statusBar()->setObjectName("statusBar");
  statusBar()->addPermanentWidget(lblEraValue_);
  statusBar()->addPermanentWidget(lblZone_);
  CreateMenus();

  memoSink_ = std::make_shared<MemoSink>(tracks_->Memo());
  link_->Control().SetDebugMsgIntf(memoSink_);

  connect(logMessages_, &LogMessagePage::HasMessages, this,
          [this](bool Any) { SetTabShown(pageControl1_, logMessages_, Any); });
  connect(session_, &SessionModel::Replaced, this, [this] {
    // A GPX file has no logger configuration or raw records.
    SetTabShown(pageControl1_, configDump_, !session_->Session().HasGpx());
    SetTabShown(pageControl1_, pointsDump_, FCanDebug && !session_->Session().HasGpx());
    lblWarning_->hide();
    UpdateTitle();
    UpdateZoneLabel();
    UpdateActions();
  });
  connect(session_, &SessionModel::Saved, this, &TMainForm::UpdateTitle);
  connect(session_, &SessionModel::ReadingChanged, this, &TMainForm::UpdateZoneLabel);
  connect(selection_, &Selection::TrackChanged, this, &TMainForm::UpdateActions);
  connect(jobs_, &JobRunner::RunningChanged, this, &TMainForm::UpdateActions);
  connect(jobs_, &JobRunner::CloseDue, this, &QWidget::close);
  connect(device_, &DeviceControl::StatusChanged, lblPortStatus_, &QLabel::setText);
  connect(device_, &DeviceControl::PortChanged, this, &TMainForm::UpdateActions);
  connect(device_, &DeviceControl::DownloadStarting, tracks_->Memo(), &QPlainTextEdit::clear);
  connect(files_, &FileActions::Done, this,
          [this](const QString& Message) { statusBar()->showMessage(Message); });
  connect(files_, &FileActions::Opened, this, &TMainForm::ShowOpened);
  connect(files_, &FileActions::RecentChanged, this, &TMainForm::UpdateRecentMenu);

  SetTabShown(pageControl1_, logMessages_, false);
  if (!FCanDebug) {
    cmdDebug_->setVisible(false);
    SetTabShown(pageControl1_, pointsDump_, false);
    mnuDeviceOpenComPort_->setVisible(false);
  }
  lblPortStatus_->setText("");

  resize(784, 562);
  setMinimumSize(640, 480);
  ViewerSettings::RestoreLayout(*this, grids_);
  ApplyTimePreferences();
  UpdateActions();
}

TMainForm::~TMainForm() {
  link_->Control().SetDebugMsgIntf(nullptr);
}

const TIGotUWholeData* TMainForm::WholeData() const {
  return session_->Session().Image();
}

const TIGotUPoints* TMainForm::Points() const {
  return session_->Points();
}

bool TMainForm::JobRunning() const {
  return jobs_->Running();
}

QWidget* TMainForm::CreateTopRow(QWidget* Parent) {
  auto* row = new QWidget(Parent);
  auto* top = new QHBoxLayout(row);
  top->setContentsMargins(0, 0, 0, 0);
  lblPortStatus_ = new QLabel(row);
  lblPortStatus_->setObjectName("lblPortStatus");
  QFont big = lblPortStatus_->font();
  big.setPointSizeF(big.pointSizeF() * 13 / 11);
  lblPortStatus_->setFont(big);
  lblPortStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long reason (an unsupported logger) is cut at the buttons rather than pushing them out.
  lblPortStatus_->setMinimumWidth(1);
  lblPortStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  top->addWidget(lblPortStatus_, 1);
  const auto addButton = [&](const QString& Name, QAction* Action) {
    auto* button = new QPushButton(Action->text(), row);
    button->setObjectName(Name);
    button->setEnabled(Action->isEnabled());
    connect(Action, &QAction::changed, button,
            [button, Action] { button->setEnabled(Action->isEnabled()); });
    connect(button, &QPushButton::clicked, Action, &QAction::trigger);
    top->addWidget(button);
    return button;
  };
  addButton("cmdStart", actAutoStart_);
  addButton("cmdSave", actSaveData_);
  addButton("cmdLoad", actLoadData_);
  cmdDebug_ = addButton("cmdDebug", actDebugProtocol_);
  return row;
}

void TMainForm::CreateActions() {
  const auto make = [this](const QString& Name, const QString& Caption, auto Slot) {
    auto* action = new QAction(Caption, this);
    action->setObjectName(Name);
    connect(action, &QAction::triggered, this, Slot);
    return action;
  };
  actAutoStart_ = make("actAutoStart", "Download Data", [this] { Download(); });
  actSaveData_ = make("actSaveData", "SaveData", [this] { files_->SaveAction(); });
  actLoadData_ = make("actLoadData", "LoadData", [this] { files_->OpenAction(); });
  actSaveTrackGPX_ = make("actSaveTrackGPX", "トラックをGPX書出し(&G)...",
                          [this] { files_->ExportAction(tracks_->SelectedTracks()); });
  actSaveTracksGPX_ = make("actSaveTracksGPX", "Save Tracks to GPX File...",
                           [this] { files_->ExportAction(tracks_->SelectedTracks()); });
  actGeotag_ = make("actGeotag", "Geotag Photos...", [this] { ShowGeotagDialog(); });
  actSkipToInterval_ = make("actSkipToInterval", "SkipTo", [this] { SkipToInterval(); });
  actDebugProtocol_ = make("actDebugProtocol", "Protocol Debug", [this] {
    if (!jobs_->Running()) {
      jobs_->Run([this] { TDebugForm::Execute(this, link_->Control()); });
    }
  });
  actOpenComPort_ =
      make("actOpenComPort", "Open ComPort...", [this] { device_->OpenComPortByHand(); });
  actRescanDevice_ = make("actRescanDevice", "Rescan Device", [this] {
    ScanDevices();
    ShowPortStatus();
  });
  actQuit_ = make("actQuit", "終了", [this] { close(); });
  actPreferences_ = make("actPreferences", "Preferences...", [this] {
    if (TPreferencesDialog::Execute(this)) {
      ApplyTimePreferences();
      // The heart-rate limits may have changed too.
      if (auto* stats = findChild<StatsPane*>("statsPane")) {
        stats->Reload();
      }
    }
  });
  actHelpSupport_ =
      make("actHelpSupport", "Support(S)...", [this] { TAboutDialog::ShowSupport(this); });
  actHelpAbout_ = make("actHelpAbout", "About(A)...", [this] { TAboutDialog::Display(this); });
}

void TMainForm::CreateMenus() {
  QMenu* file = menuBar()->addMenu("File(&F)");
  file->setObjectName("mnuFile");
  MenuItem(file, "LoadData...", actLoadData_, QKeySequence::Open);
  MenuItem(file, "SaveData...", actSaveData_, QKeySequence::Save);
  mnuRecent_ = file->addMenu("Recent Images");
  mnuRecent_->setObjectName("mnuRecent");
  file->addSeparator();
  MenuItem(file, "Save Track to GPX File(&G)...", actSaveTrackGPX_, {});
  file->addAction(actGeotag_);
  file->addAction(actPreferences_);
  file->addSeparator();
  MenuItem(file, "Exit", actQuit_, QKeySequence("Ctrl+Q"));
  QMenu* device = menuBar()->addMenu("Device(&D)");
  device->setObjectName("mnuDevice");
  device->addAction(actAutoStart_);
  device->addSeparator();
  device->addAction(actRescanDevice_);
  mnuDeviceOpenComPort_ = MenuItem(device, actOpenComPort_->text(), actOpenComPort_, {});
  mnuDeviceOpenComPort_->setObjectName("MnuDeviceOpenComPort");
  QMenu* help = menuBar()->addMenu("Help(&H)");
  help->setObjectName("mnuHelp");
  help->addAction(actHelpAbout_);
  help->addAction(actHelpSupport_);
  UpdateRecentMenu();
}

void TMainForm::UpdateActions() {
  const bool idle = !jobs_->Running();
  const bool port = link_->Port() != nullptr;
  const TIGotUPoints* points = session_->Points();
  const bool track = points != nullptr && selection_->Track() >= 0 &&
                     selection_->Track() < points->Tracks().Count();
  actAutoStart_->setEnabled(idle && port);
  actSaveData_->setEnabled(idle && session_->HasImage());
  actSaveTrackGPX_->setEnabled(idle && track);
  actSaveTracksGPX_->setEnabled(idle && track);
  actGeotag_->setEnabled(idle && !session_->Session().Series().empty());
  actSkipToInterval_->setEnabled(points != nullptr);
  actDebugProtocol_->setEnabled(idle && port);
}

void TMainForm::UpdateTitle() {
  const QString name = session_->Title();
  setWindowTitle(name.isEmpty() ? QString(kTitle) : name + " — " + kTitle);
}

void TMainForm::UpdateZoneLabel() {
  const TimeZone& zone = session_->Zone();
  QString text;
  if (zone.IsUtc()) {
    text = "UTC (logger clock)";
  } else if (zone.Setting() == "local") {
    text = "this computer's zone, " + QString::fromStdString(zone.Name());
  } else {
    text = QString::fromStdString(zone.Name());
  }
  lblZone_->setText("Times: " + text);
  lblZone_->setToolTip("The tables show times on this clock (File > Preferences...)");
  const app::ImageSession& session = session_->Session();
  lblEraValue_->setVisible(session.HasImage());
  lblEraValue_->setText(
      QString("Years %1\u2013%2").arg(session.Era().FirstYear()).arg(session.Era().LastYear()));
  lblEraValue_->setToolTip(QString::fromStdString(session.Era().Description()) +
                           " (File > Preferences...)");
}

void TMainForm::ApplyTimePreferences() {
  const TimePreferences prefs = LoadTimePreferences();
  try {
    session_->SetYearEra(QString::fromStdString(prefs.YearEra));
    session_->SetZone(TimeZone::FromSetting(prefs.Zone));
  } catch (const std::exception& e) {
    ShowError(this, QString::fromStdString(e.what()));
  }
  UpdateZoneLabel();
}

void TMainForm::ShowOpened(const QString& FileName, const QStringList& Warnings) {
  // The download log no longer belongs to what is shown.
  QPlainTextEdit* memo = tracks_->Memo();
  memo->clear();
  memo->appendPlainText(session_->OpenedText(FileName));
  for (const QString& warning : Warnings) {
    memo->appendPlainText("Warning: " + warning);
  }
  lblWarning_->setText(Warnings.join('\n'));
  lblWarning_->setVisible(!Warnings.isEmpty());
  statusBar()->showMessage("opened " + QFileInfo(FileName).fileName());
}

TGeotagDialog* TMainForm::ShowGeotagDialog() {
  if (geotag_ == nullptr) {
    geotag_ = new TGeotagDialog(*session_, *selection_, *jobs_, this);
    connect(geotag_, &TGeotagDialog::Done, this,
            [this](const QString& Message) { statusBar()->showMessage(Message); });
    connect(geotag_, &TGeotagDialog::PhotosTagged, findChild<MapPane*>("mapPane"),
            &MapPane::SetPhotos);
  }
  geotag_->show();
  geotag_->raise();
  geotag_->activateWindow();
  return geotag_;
}

// ---- delegated -------------------------------------------------------------------------

void TMainForm::Download() {
  device_->Download();
}

bool TMainForm::LoadFile(const QString& FileName) {
  return files_->Open(FileName);
}

void TMainForm::SaveFile(const QString& FileName) {
  files_->Save(FileName);
}

bool TMainForm::ExportGpx(const QString& FileName) {
  return files_->ExportTracks(tracks_->SelectedTracks(), FileName);
}

void TMainForm::SkipToInterval() {
  pointsDump_->SkipToInterval();
}

void TMainForm::DeviceChanged() {
  device_->DeviceChanged();
}

void TMainForm::ScanDevices() {
  device_->ScanDevices();
}

void TMainForm::ShowPortStatus() {
  device_->ShowPortStatus();
}

void TMainForm::UsePort(std::unique_ptr<TIgotUPort> Port) {
  device_->UsePort(std::move(Port));
}

QStringList TMainForm::RecentFiles() const {
  return FileActions::RecentFiles();
}

void TMainForm::UpdateRecentMenu() {
  mnuRecent_->clear();
  const QStringList files = RecentFiles();
  for (const QString& file : files) {
    mnuRecent_->addAction(file, this, [this, file] { LoadFile(file); });
  }
  mnuRecent_->setEnabled(!files.isEmpty());
}

// ---- window events ---------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (!shownOnce_) {
    shownOnce_ = true;
    // The first scan runs once the window is on screen, so that a device dialog has a parent.
    QTimer::singleShot(0, this, [this] {
      ScanDevices();
      ShowPortStatus();
    });
  }
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  // A running job is cancelled and the window closes once the logger is switched back.
  if (jobs_->DeferClose() || !files_->MayDropImage()) {
    Event->ignore();
    return;
  }
  ViewerSettings::SaveLayout(*this, grids_);
  Event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event) {
  if (!DroppedImage(Event->mimeData()).isEmpty()) {
    Event->acceptProposedAction();
  }
}

void TMainForm::dropEvent(QDropEvent* Event) {
  const QString file = DroppedImage(Event->mimeData());
  if (!file.isEmpty()) {
    Event->acceptProposedAction();
    LoadFile(file);
  }
}

} // namespace tarnwick::viewer
