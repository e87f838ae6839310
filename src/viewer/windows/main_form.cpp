#include "viewer/windows/main_form.hpp"

#include "device/debug_msg_intf.hpp"
#include "present/image_texts.hpp"
#include "sim/sim_device_source.hpp"
#include "support/date_time.hpp"
#include "support/dump_text.hpp"
#include "viewer/models/flag_filter_model.hpp"
#include "viewer/models/gap_search.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/windows/debug_form.hpp"
#include "viewer/windows/device_watch.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer/windows/viewer_settings.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

namespace tarnwick::viewer {

namespace {

// Base name of the viewer's debug log in the temporary folder.
constexpr const char* kLogAppID = "TarnwickWin";
const char* const kImageFilter = "(*.dat) (*.dat);;すべてのファイル(*.*) (*)";
const char* const kGpxFilter = "GPXファイル (*.gpx)";

// Status texts of the control to the memo, from whichever thread they come.
class MemoSink : public IIGotUDebugMsgIntf {
 public:
  explicit MemoSink(QPlainTextEdit* Memo) : memo_(Memo) {}
  void IGotUDebugMessage(const std::string& Msg) override {
    QMetaObject::invokeMethod(
        memo_, [m = memo_, t = QString::fromStdString(Msg)] { m->appendPlainText(t); },
        Qt::AutoConnection);
  }

 private:
  QPlainTextEdit* memo_;
};

QString Hex(const uint8_t* Data, int N) {
  return QString::fromStdString(BytesToHex(Data, N));
}

template <class Point>
QString HeaderOrError(const Point& P) {
  try {
    return QString::fromStdString(PointHeaderText(P));
  } catch (const std::exception& e) {
    return QString::fromStdString(e.what());
  }
}

QLabel* DataLabel(const QString& Name, QWidget* Parent) {
  auto* label = new QLabel(Parent);
  label->setObjectName(Name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont fixed("monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  label->setFont(fixed);
  return label;
}

} // namespace

template <class Job>
auto TMainForm::RunJob(Job&& Work) {
  jobRunning_ = true;
  UpdateActions();
  struct Done {
    TMainForm* Form;
    ~Done() { Form->AfterJob(); }
  } done{this};
  return Work();
}

TMainForm::TMainForm(const app::Settings& Settings, std::unique_ptr<TIgotUDevice> Device,
                     bool WatchDevices, QWidget* Parent)
    : QMainWindow(Parent), settings_(Settings), decimalSeparator_(LocaleDecimalSeparator()) {
  setObjectName("TMainForm");
  setWindowTitle("RaruviRoduvi Tarnwick");
  setAcceptDrops(true);
  // The debug log, the engine and the control, with the window's memo as the status sink.
  link_ = std::make_unique<app::LoggerLink>(Settings, kLogAppID, std::move(Device));
  FCanDebug = Settings.Debug;

  FTracksGridHelper = std::make_unique<TTracksGridHelper>(decimalSeparator_);
  FTrackPointGridHelper = std::make_unique<TTrackPointGridHelper>(decimalSeparator_);
  FWayPointGridHelper = std::make_unique<TWayPointGridHelper>(decimalSeparator_);
  FPointsDumpGridHelper = std::make_unique<TPointsDumpGridHelper>(decimalSeparator_);
  FHRGridHelper = std::make_unique<TExtIntPointGridHelper>(decimalSeparator_);
  FCadenceGridHelper = std::make_unique<TExtIntPointGridHelper>(decimalSeparator_);
  FSpeedGridHelper = std::make_unique<TExtDoublePointGridHelper>(decimalSeparator_);

  CreateActions();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  auto* top = new QHBoxLayout;
  lblPortStatus_ = new QLabel(central);
  lblPortStatus_->setObjectName("lblPortStatus");
  QFont big = lblPortStatus_->font();
  big.setPointSizeF(big.pointSizeF() * 13 / 11);
  lblPortStatus_->setFont(big);
  top->addWidget(lblPortStatus_, 1);
  const auto addButton = [&](const QString& Name, QAction* Action) {
    auto* button = new QPushButton(Action->text(), central);
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
  layout->addLayout(top);

  pageControl1_ = new QTabWidget(central);
  pageControl1_->setObjectName("PageControl1");
  tshTracks_ = CreateTracksPage();
  pageControl1_->addTab(tshTracks_, "Tracks");
  tshConfigDump_ = new QWidget;
  tshConfigDump_->setObjectName("tshConfigDump");
  txtConfigDump_ = new QPlainTextEdit(tshConfigDump_);
  txtConfigDump_->setObjectName("txtConfigDump");
  txtConfigDump_->setReadOnly(true);
  txtConfigDump_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed("monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  txtConfigDump_->setFont(fixed);
  (new QVBoxLayout(tshConfigDump_))->addWidget(txtConfigDump_);
  pageControl1_->addTab(tshConfigDump_, "ConfigDump");
  tshLogMessage_ = new QWidget;
  tshLogMessage_->setObjectName("tshLogMessage");
  lstLogMessage_ = new QListWidget(tshLogMessage_);
  lstLogMessage_->setObjectName("lstLogMessage");
  (new QVBoxLayout(tshLogMessage_))->addWidget(lstLogMessage_);
  pageControl1_->addTab(tshLogMessage_, "LogMessage");
  tshPointsDump_ = CreatePointsDumpPage();
  pageControl1_->addTab(tshPointsDump_, "PointsDump");
  layout->addWidget(pageControl1_, 1);
  setCentralWidget(central);
  CreateMenus();

  memoSink_ = std::make_shared<MemoSink>(memoAutoStatus_);
  link_->Control().SetDebugMsgIntf(memoSink_);

  SetTabShown(pageControl1_, tshLogMessage_, false);
  SetTabShown(tabTrackData_, tshWayPoints_, false);
  SetTabShown(tabTrackData_, tshHR_, false);
  SetTabShown(tabTrackData_, tshCadence_, false);
  SetTabShown(tabTrackData_, tshSpeed_, false);
  if (!FCanDebug) {
    cmdDebug_->setVisible(false);
    SetTabShown(pageControl1_, tshPointsDump_, false);
    mnuDeviceOpenComPort_->setVisible(false);
  }
  lblPortStatus_->setText("");

  resize(784, 562);
  setMinimumSize(640, 480);
  ViewerSettings::RestoreLayout(*this, grids_);
  if (WatchDevices) {
    watch_ = new DeviceWatch(QString::fromStdString(sim::SimRegistryFolder()), this);
    connect(watch_, &DeviceWatch::Changed, this, &TMainForm::DeviceChanged);
  }
  UpdateActions();
}

TMainForm::~TMainForm() {
  // The views let go of the models before the presenters and the data they show go.
  for (GridView* grid : grids_) {
    grid->setModel(nullptr);
  }
  link_->Control().SetDebugMsgIntf(nullptr);
}

void TMainForm::CreateActions() {
  const auto make = [this](const QString& Name, const QString& Caption, auto Slot) {
    auto* action = new QAction(Caption, this);
    action->setObjectName(Name);
    connect(action, &QAction::triggered, this, Slot);
    return action;
  };
  actAutoStart_ = make("actAutoStart", "Download Data", [this] { Download(); });
  actSaveData_ = make("actSaveData", "SaveData", [this] { SaveDataAction(); });
  actLoadData_ = make("actLoadData", "LoadData", [this] { LoadDataAction(); });
  actSaveTrackGPX_ =
      make("actSaveTrackGPX", "トラックをGPX書出し(&G)...", [this] { SaveTrackGpxAction(); });
  actSkipToInterval_ = make("actSkipToInterval", "SkipTo", [this] { SkipToInterval(); });
  actDebugProtocol_ = make("actDebugProtocol", "Protocol Debug", [this] {
    RunJob([this] { TDebugForm::Execute(this, link_->Control()); });
  });
  actOpenComPort_ = make("actOpenComPort", "Open ComPort...", [this] { OpenComPortAction(); });
  actRescanDevice_ = make("actRescanDevice", "Rescan Device", [this] {
    ScanDevices();
    ShowPortStatus();
  });
  actQuit_ = make("actQuit", "終了", [this] { close(); });
  actPreferences_ =
      make("actPreferences", "Preferences...", [this] { TPreferencesDialog::Execute(this); });
  actHelpSupport_ =
      make("actHelpSupport", "Support(S)...", [this] { TAboutDialog::ShowSupport(this); });
  actHelpAbout_ = make("actHelpAbout", "About(A)...", [this] { TAboutDialog::Display(this); });
}

// A menu item whose caption overrides its action's: it runs the action and follows its
// enabled state.
static QAction* MenuItem(QMenu* Menu, const QString& Caption, QAction* Action,
                         const QKeySequence& Shortcut) {
  auto* item = Menu->addAction(Caption);
  item->setObjectName("mnu" + Action->objectName().mid(3));
  item->setShortcut(Shortcut);
  item->setEnabled(Action->isEnabled());
  QObject::connect(item, &QAction::triggered, Action, &QAction::trigger);
  QObject::connect(Action, &QAction::changed, item,
                   [item, Action] { item->setEnabled(Action->isEnabled()); });
  return item;
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

GridView* TMainForm::AddGrid(const QString& Name, TStringGridHelper& Helper, QWidget* Parent) {
  auto* grid = new GridView(Name, Parent);
  grid->SetGridModel(new GridModel(Helper, this));
  grids_.append(grid);
  return grid;
}

QWidget* TMainForm::CreateTracksPage() {
  auto* page = new QWidget;
  page->setObjectName("tshTracks");
  grdTracks_ = AddGrid("grdTracks", *FTracksGridHelper, page);
  connect(grdTracks_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& Current) { TrackRowSelected(Current.row()); });

  auto* info = new QWidget(page);
  auto* form = new QFormLayout;
  const auto value = [&](const QString& Name) {
    auto* label = new QLabel(info);
    label->setObjectName(Name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  lblModelValue_ = value("lblModelValue");
  lblSerialValue_ = value("lblSerialValue");
  lblVersionValue_ = value("lblVersionValue");
  lblCountValue_ = value("lblCountValue");
  form->addRow("Model", lblModelValue_);
  form->addRow("Serial", lblSerialValue_);
  form->addRow("Version", lblVersionValue_);
  form->addRow("Count", lblCountValue_);
  memoAutoStatus_ = new QPlainTextEdit(info);
  memoAutoStatus_->setObjectName("memoAutoStatus");
  memoAutoStatus_->setReadOnly(true);
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->setContentsMargins(0, 0, 0, 0);
  infoLayout->addLayout(form);
  infoLayout->addWidget(memoAutoStatus_, 1);

  auto* upper = new QSplitter(Qt::Horizontal, page);
  upper->addWidget(grdTracks_);
  upper->addWidget(info);
  upper->setStretchFactor(0, 3);
  upper->setStretchFactor(1, 2);

  tabTrackData_ = new QTabWidget(page);
  tabTrackData_->setObjectName("tabTrackData");
  const auto dataPage = [&](const QString& Name, const QString& Caption, GridView*& Grid,
                            const QString& GridName, TStringGridHelper& Helper, QLabel** Label,
                            const QString& LabelName) {
    auto* tab = new QWidget;
    tab->setObjectName(Name);
    Grid = AddGrid(GridName, Helper, tab);
    auto* tabLayout = new QVBoxLayout(tab);
    tabLayout->addWidget(Grid, 1);
    if (Label != nullptr) {
      *Label = DataLabel(LabelName, tab);
      tabLayout->addWidget(*Label);
    }
    tabTrackData_->addTab(tab, Caption);
    return tab;
  };
  tshTrackPoints_ = dataPage("tshTrackPoints", "TrackPoints", grdTrackPoints_, "grdTrackPoints",
                             *FTrackPointGridHelper, &lblPointData_, "lblPointData");
  tshHR_ = dataPage("tshHR", "HR", grdHR_, "grdHR", *FHRGridHelper, &lblHRData_, "lblHRData");
  tshCadence_ = dataPage("tshCadence", "Cadence", grdCadence_, "grdCadence", *FCadenceGridHelper,
                         &lblCadenceData_, "lblCadenceData");
  tshSpeed_ = dataPage("tshSpeed", "Speed", grdSpeed_, "grdSpeed", *FSpeedGridHelper,
                       &lblSpeedData_, "lblSpeedData");
  tshWayPoints_ = dataPage("tshWayPoints", "WayPoints", grdWayPoints_, "grdWayPoints",
                           *FWayPointGridHelper, nullptr, {});

  // A selected sample shows its raw bytes under its grid.
  const auto rawBytes = [this](GridView* Grid, QLabel* Label, auto Record) {
    connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, Label, Record](const QModelIndex& Current) {
              const TIGotUTrack* track = FTrackPointGridHelper->Track();
              if (track == nullptr || !Current.isValid()) {
                return;
              }
              if (const auto* record = Record(*track, Current.row())) {
                Label->setText(Hex(record->PRawData(), 32));
              }
            });
  };
  const auto item = [](const auto& List, int Row) {
    return Row >= 0 && Row < static_cast<int>(List.size()) ? List[static_cast<size_t>(Row)]
                                                           : nullptr;
  };
  rawBytes(grdTrackPoints_, lblPointData_,
           [item](const TIGotUTrack& T, int Row) -> const TIGotUPointBase* {
             return item(T.Points(), Row);
           });
  rawBytes(grdHR_, lblHRData_, [item](const TIGotUTrack& T, int Row) -> const TIGotUPointBase* {
    return item(T.HR(), Row);
  });
  rawBytes(grdCadence_, lblCadenceData_,
           [item](const TIGotUTrack& T, int Row) -> const TIGotUPointBase* {
             return item(T.Cadence(), Row);
           });
  rawBytes(grdSpeed_, lblSpeedData_,
           [item](const TIGotUTrack& T, int Row) -> const TIGotUPointBase* {
             return item(T.Speed(), Row);
           });

  auto* split = new QSplitter(Qt::Vertical, page);
  split->setObjectName("splitTracks");
  split->addWidget(upper);
  split->addWidget(tabTrackData_);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  (new QVBoxLayout(page))->addWidget(split);
  return page;
}

QWidget* TMainForm::CreatePointsDumpPage() {
  auto* page = new QWidget;
  page->setObjectName("tshPointsDump");
  cboPointsDumpFlagFilter_ = new QComboBox(page);
  cboPointsDumpFlagFilter_->setObjectName("cboPointsDumpFlagFilter");
  cboPointsDumpFlagFilter_->setEditable(false);
  cboPointsDumpFlagFilter_->setMinimumContentsLength(14);
  auto* skip = new QPushButton(actSkipToInterval_->text(), page);
  skip->setObjectName("cmdSkipToInterval");
  connect(skip, &QPushButton::clicked, actSkipToInterval_, &QAction::trigger);
  connect(actSkipToInterval_, &QAction::changed, skip,
          [skip, this] { skip->setEnabled(actSkipToInterval_->isEnabled()); });
  grdPointsDump_ = new GridView("grdPointsDump", page);
  auto* model = new GridModel(*FPointsDumpGridHelper, this);
  pointsDumpFilter_ = new FlagFilterModel(
      [this](int Row) -> std::optional<int> {
        if (!FPoints || Row >= FPoints->Points().Count()) {
          return std::nullopt;
        }
        return FPoints->Points()[Row].Flags();
      },
      this);
  pointsDumpFilter_->setSourceModel(model);
  grdPointsDump_->SetGridModel(model, pointsDumpFilter_);
  grids_.append(grdPointsDump_);
  connect(grdPointsDump_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& Current) { PointsDumpRowSelected(Current.row()); });
  connect(cboPointsDumpFlagFilter_, &QComboBox::currentIndexChanged, this, [this](int Index) {
    const QVariant flag = cboPointsDumpFlagFilter_->itemData(Index);
    pointsDumpFilter_->SetFlag(flag.isValid() ? std::optional<int>(flag.toInt()) : std::nullopt);
  });
  lblPointsDumpStr_ = DataLabel("lblPointsDumpStr", page);
  auto* row = new QHBoxLayout;
  row->addWidget(cboPointsDumpFlagFilter_);
  row->addWidget(skip);
  row->addStretch();
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(row);
  layout->addWidget(grdPointsDump_, 1);
  layout->addWidget(lblPointsDumpStr_);
  return page;
}

void TMainForm::SetTabShown(QTabWidget* Tabs, QWidget* Page, bool Shown) {
  Tabs->setTabVisible(Tabs->indexOf(Page), Shown);
}

void TMainForm::UpdateActions() {
  const bool idle = !jobRunning_;
  actAutoStart_->setEnabled(idle && link_->Port() != nullptr);
  actSaveData_->setEnabled(idle && FWholeData != nullptr);
  actSaveTrackGPX_->setEnabled(idle && FTrackPointGridHelper->Track() != nullptr);
  actSkipToInterval_->setEnabled(FPoints != nullptr);
  actDebugProtocol_->setEnabled(idle && link_->Port() != nullptr);
}

// ---- devices ---------------------------------------------------------------------------

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

void TMainForm::ScanDevices() {
  const auto list = link_->EnumDevices();
  int index = -1;
  if (list->Count() == 1) {
    index = 0;
  } else if (list->Count() > 1) {
    index = TDevicesDialog::Execute(this, *list);
  }
  if (index >= 0) {
    UsePort(link_->Device().CreatePort((*list)[index]));
  }
}

void TMainForm::UsePort(std::unique_ptr<TIgotUPort> Port) {
  link_->UsePort(std::move(Port));
  UpdateActions();
}

void TMainForm::ShowPortStatus() {
  const TIgotUPort* port = link_->Port();
  lblPortStatus_->setText(port != nullptr
                              ? "Igotu device = " + QString::fromStdString(port->Description())
                              : "Igotu device not found!");
}

void TMainForm::DeviceChanged() {
  if (jobRunning_) {
    // The port, engine and control stay as they are under a running job.
    deviceChangePending_ = true;
    return;
  }
  if (link_->Port() != nullptr) {
    link_->CheckPort();
    ShowPortStatus();
    UpdateActions();
    return;
  }
  if (rescanQueued_) {
    return;
  }
  // A logger that just appeared needs a moment before its port can be used; the wait does
  // not block the window.
  rescanQueued_ = true;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  QTimer::singleShot(1000, this, [this] {
    rescanQueued_ = false;
    try {
      if (!jobRunning_) {
        ScanDevices();
      }
    } catch (const std::exception& e) {
      ShowError(this, QString::fromStdString(e.what()));
    }
    QApplication::restoreOverrideCursor();
    ShowPortStatus();
    UpdateActions();
  });
}

void TMainForm::OpenComPortAction() {
  if (auto port = TPortSelDialog::Execute(this)) {
    UsePort(std::move(port));
  }
}

// ---- jobs ------------------------------------------------------------------------------

void TMainForm::AfterJob() {
  jobRunning_ = false;
  UpdateActions();
  if (closeAfterJob_) {
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  if (deviceChangePending_) {
    deviceChangePending_ = false;
    QTimer::singleShot(0, this, &TMainForm::DeviceChanged);
  }
}

void TMainForm::Download() {
  if (link_->Port() == nullptr || jobRunning_) {
    return;
  }
  memoAutoStatus_->clear();
  FTrackPointGridHelper->SetTrack(nullptr);
  FWayPointGridHelper->SetTrack(nullptr);
  FWholeData.reset();
  UpdateActions();
  std::unique_ptr<TIGotUWholeData> image;
  const bool ok = RunJob([&] {
    return TProgressDialog::Execute(
        this,
        [&](const std::shared_ptr<IProgressInterface>& Sink) {
          image = link_->Download(Sink);
          return image != nullptr;
        },
        true);
  });
  if (!ok || !image) {
    return;
  }
  try {
    auto points = std::make_unique<TIGotUPoints>(image->Status.FModel, image->Blocks());
    FWholeData = std::move(image);
    ShowData(std::move(points));
  } catch (const std::exception& e) {
    ShowError(this, QString::fromStdString(e.what()));
  }
  UpdateActions();
}

bool TMainForm::ExportGpx(const QString& FileName) {
  const TIGotUTrack* track = FTrackPointGridHelper->Track();
  if (track == nullptr || jobRunning_) {
    return false;
  }
  const GPXPreferences prefs = LoadGpxPreferences();
  const std::string name = FileName.toStdString();
  return RunJob([&] {
    return TProgressDialog::Execute(this, [&](const std::shared_ptr<IProgressInterface>& Sink) {
      return app::LoggerLink::ExportGpx({track}, name, prefs, Sink);
    });
  });
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  if (jobRunning_) {
    // The job is cancelled and the window closes once the logger is switched back.
    closeAfterJob_ = true;
    if (TProgressDialog* dialog = TProgressDialog::Current()) {
      dialog->Cancel();
    }
    Event->ignore();
    return;
  }
  ViewerSettings::SaveLayout(*this, grids_);
  Event->accept();
}

// ---- files -----------------------------------------------------------------------------

bool TMainForm::LoadFile(const QString& FileName) {
  try {
    auto image = std::make_unique<TIGotUWholeData>();
    image->LoadFromFile(FileName.toStdString());
    auto points = std::make_unique<TIGotUPoints>(image->Status.FModel, image->Blocks());
    FWholeData = std::move(image);
    ShowData(std::move(points));
    AddRecentFile(FileName);
    UpdateActions();
    return true;
  } catch (const std::exception& e) {
    ShowError(this, QString::fromStdString(e.what()));
    return false;
  }
}

void TMainForm::SaveFile(const QString& FileName) {
  if (!FWholeData) {
    return;
  }
  try {
    FWholeData->SaveToFile(FileName.toStdString());
    AddRecentFile(FileName);
  } catch (const std::exception& e) {
    ShowError(this, QString::fromStdString(e.what()));
  }
}

void TMainForm::LoadDataAction() {
  const QString name =
      QFileDialog::getOpenFileName(this, {}, ViewerSettings::LastFolder(), kImageFilter);
  if (!name.isEmpty()) {
    ViewerSettings::SetLastFolder(name);
    LoadFile(name);
  }
}

void TMainForm::SaveDataAction() {
  if (!FWholeData) {
    return;
  }
  const QString name =
      QFileDialog::getSaveFileName(this, {}, ViewerSettings::LastFolder(), kImageFilter);
  if (!name.isEmpty()) {
    ViewerSettings::SetLastFolder(name);
    SaveFile(name);
  }
}

void TMainForm::SaveTrackGpxAction() {
  if (FTrackPointGridHelper->Track() == nullptr) {
    return;
  }
  QFileDialog dialog(this, {}, ViewerSettings::LastFolder(), kGpxFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("gpx");
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    ViewerSettings::SetLastFolder(dialog.selectedFiles().first());
    ExportGpx(dialog.selectedFiles().first());
  }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event) {
  for (const QUrl& url : Event->mimeData()->urls()) {
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    if (url.isLocalFile() && (suffix == "dat" || suffix == "bin")) {
      Event->acceptProposedAction();
      return;
    }
  }
}

void TMainForm::dropEvent(QDropEvent* Event) {
  for (const QUrl& url : Event->mimeData()->urls()) {
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    if (url.isLocalFile() && (suffix == "dat" || suffix == "bin")) {
      Event->acceptProposedAction();
      LoadFile(url.toLocalFile());
      return;
    }
  }
}

QStringList TMainForm::RecentFiles() const {
  return ViewerSettings::RecentFiles();
}

void TMainForm::AddRecentFile(const QString& FileName) {
  ViewerSettings::AddRecentFile(FileName);
  UpdateRecentMenu();
}

void TMainForm::UpdateRecentMenu() {
  mnuRecent_->clear();
  const QStringList files = RecentFiles();
  for (const QString& file : files) {
    mnuRecent_->addAction(file, this, [this, file] { LoadFile(file); });
  }
  mnuRecent_->setEnabled(!files.isEmpty());
}

// ---- showing the data ------------------------------------------------------------------

void TMainForm::ShowData(std::unique_ptr<TIGotUPoints> Points) {
  const StatusLabelTexts labels = StatusLabels(FWholeData->Status);
  lblModelValue_->setText(QString::fromStdString(labels.Model));
  lblSerialValue_->setText(QString::fromStdString(labels.Serial));
  lblVersionValue_->setText(QString::fromStdString(labels.Version));
  lblCountValue_->setText(QString::fromStdString(labels.Count));

  // Every presenter lets go of the old data before it is freed.
  FTracksGridHelper->SetTracks(nullptr);
  FPointsDumpGridHelper->SetPoints(nullptr);
  ShowTrack(nullptr);
  FPoints = std::move(Points);

  FTracksGridHelper->SetTracks(&FPoints->Tracks());
  ShowConfigDump();
  ShowLogMessages();
  FillFlagFilter();
  FPointsDumpGridHelper->SetPoints(FPoints.get());
  lblPointsDumpStr_->clear();
  const TIGotUTracks& tracks = FPoints->Tracks();
  ShowTrack(tracks.Count() > 0 ? &tracks[0] : nullptr);
  if (tracks.Count() > 0) {
    grdTracks_->SelectRow(0);
  }
  UpdateActions();
}

void TMainForm::ShowTrack(const TIGotUTrack* Track) {
  FTrackPointGridHelper->SetTrack(Track);
  lblPointData_->clear();
  lblHRData_->clear();
  lblCadenceData_->clear();
  lblSpeedData_->clear();
  FWayPointGridHelper->SetTrack(Track);
  FHRGridHelper->SetPoints(Track != nullptr ? &Track->HR() : nullptr);
  FCadenceGridHelper->SetPoints(Track != nullptr ? &Track->Cadence() : nullptr);
  FSpeedGridHelper->SetPoints(Track != nullptr ? &Track->Speed() : nullptr);
  SetTabShown(tabTrackData_, tshWayPoints_, Track != nullptr && !Track->WayPoints().empty());
  SetTabShown(tabTrackData_, tshHR_, Track != nullptr && !Track->HR().empty());
  SetTabShown(tabTrackData_, tshCadence_, Track != nullptr && !Track->Cadence().empty());
  SetTabShown(tabTrackData_, tshSpeed_, Track != nullptr && !Track->Speed().empty());
  UpdateActions();
}

void TMainForm::ShowConfigDump() {
  const auto lines = ConfigDumpLines(FWholeData->ConfigBlockPtr(), FWholeData->ConfigLength());
  QStringList text;
  for (const auto& line : lines) {
    text.append(QString::fromStdString(line));
  }
  txtConfigDump_->setPlainText(text.join('\n'));
}

void TMainForm::ShowLogMessages() {
  const TIGotULogMsgPoints& messages = FPoints->DebugPoints();
  SetTabShown(pageControl1_, tshLogMessage_, !messages.Empty());
  lstLogMessage_->clear();
  for (const auto* message : messages) {
    lstLogMessage_->addItem(QString::fromStdString(LogMessageEntry(*message)));
  }
}

void TMainForm::FillFlagFilter() {
  std::set<int> flags;
  for (const auto& point : FPoints->Points()) {
    flags.insert(point->Flags());
  }
  const QSignalBlocker block(cboPointsDumpFlagFilter_);
  cboPointsDumpFlagFilter_->clear();
  cboPointsDumpFlagFilter_->addItem("All records");
  for (int flag : flags) {
    cboPointsDumpFlagFilter_->addItem(QString("%1 ").arg(flag, 2, 16, QChar('0')).toUpper(), flag);
  }
  cboPointsDumpFlagFilter_->setCurrentIndex(0);
  pointsDumpFilter_->SetFlag(std::nullopt);
}

void TMainForm::TrackRowSelected(int Row) {
  if (FPoints && Row >= 0 && Row < FPoints->Tracks().Count()) {
    ShowTrack(&FPoints->Tracks()[Row]);
  }
}

void TMainForm::PointsDumpRowSelected(int Row) {
  if (!FPoints || Row < 0) {
    return;
  }
  const int record = pointsDumpFilter_->mapToSource(pointsDumpFilter_->index(Row, 0)).row();
  if (record < 0 || record >= FPoints->Points().Count()) {
    return;
  }
  const TIGotUPointBase& point = FPoints->Points()[record];
  lblPointsDumpStr_->setText(HeaderOrError(point) + " " +
                             QString::fromStdString(point.DebugString(decimalSeparator_)));
}

void TMainForm::SkipToInterval() {
  if (!FPoints) {
    return;
  }
  const int rows = pointsDumpFilter_->rowCount();
  const auto timeOf = [this](int Row) -> std::optional<int64_t> {
    const int record = pointsDumpFilter_->mapToSource(pointsDumpFilter_->index(Row, 0)).row();
    if (record < 0 || record >= FPoints->Points().Count()) {
      return std::nullopt;
    }
    try {
      return DateTimeToMilliseconds(FPoints->Points()[record].Time());
    } catch (const std::exception&) {
      // A record whose time cannot be decoded is passed over.
      return std::nullopt;
    }
  };
  const int row = NextGapRow(rows, grdPointsDump_->SelectedRow(), timeOf);
  if (row >= 0) {
    grdPointsDump_->SelectRow(row);
  }
}

} // namespace tarnwick::viewer
