#pragma once

#include "app/app_settings.hpp"
#include "app/logger_link.hpp"
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "present/grid_helpers.hpp"

#include <QMainWindow>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tarnwick::viewer {

class DeviceWatch;
class FlagFilterModel;
class GridModel;
class GridView;

/// The main window: finds the logger and keeps its port, downloads, loads and saves memory
/// images, exports GPX, and shows the decoded data in its tables. Owns the link to the logger
/// (log, engine, control, port), the image, the decoded data and the seven presenters.
/// A download or export runs on a worker thread under the progress dialog; device changes
/// that arrive meanwhile are handled when it has ended.
class TMainForm : public QMainWindow {
 public:
  /// A window with Settings applied. Device lists the loggers (null: the system's and the
  /// simulated ones); with WatchDevices, device changes of the system and of the simulated
  /// loggers' folder are followed.
  explicit TMainForm(const app::Settings& Settings, std::unique_ptr<TIgotUDevice> Device = nullptr,
                     bool WatchDevices = true, QWidget* Parent = nullptr);
  ~TMainForm() override;

  // What the actions and events do, after any file dialog.
  void Download();
  /// Loads the pair FileName names; a failure keeps what was shown and shows the error.
  bool LoadFile(const QString& FileName);
  void SaveFile(const QString& FileName);
  /// Exports the current track with the saved GPX preferences; true when written.
  bool ExportGpx(const QString& FileName);
  void SkipToInterval();
  void DeviceChanged();
  void ScanDevices();
  void ShowPortStatus();
  void UsePort(std::unique_ptr<TIgotUPort> Port);

  app::LoggerLink& Link() { return *link_; }
  const TIGotUWholeData* WholeData() const { return FWholeData.get(); }
  const TIGotUPoints* Points() const { return FPoints.get(); }
  bool CanDebug() const { return FCanDebug; }
  /// Whether a download, export or the debug window is running.
  bool JobRunning() const { return jobRunning_; }
  /// The recently opened images, newest first.
  QStringList RecentFiles() const;

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  void CreateActions();
  void CreateMenus();
  QWidget* CreateTracksPage();
  QWidget* CreatePointsDumpPage();
  GridView* AddGrid(const QString& Name, TStringGridHelper& Helper, QWidget* Parent);
  void UpdateActions();
  void SetTabShown(QTabWidget* Tabs, QWidget* Page, bool Shown);
  void ShowData(std::unique_ptr<TIGotUPoints> Points);
  void ShowTrack(const TIGotUTrack* Track);
  void ShowConfigDump();
  void ShowLogMessages();
  void FillFlagFilter();
  void TrackRowSelected(int Row);
  void PointsDumpRowSelected(int Row);
  // Runs Job with the window's job state set: device changes wait, a close waits.
  template <class Job>
  auto RunJob(Job&& Work);
  void AfterJob();
  void AddRecentFile(const QString& FileName);
  void UpdateRecentMenu();
  void LoadDataAction();
  void SaveDataAction();
  void SaveTrackGpxAction();
  void OpenComPortAction();

  app::Settings settings_;
  bool FCanDebug = false;
  std::unique_ptr<app::LoggerLink> link_;
  std::unique_ptr<TIGotUWholeData> FWholeData;
  std::unique_ptr<TIGotUPoints> FPoints;
  char decimalSeparator_;
  std::unique_ptr<TTracksGridHelper> FTracksGridHelper;
  std::unique_ptr<TTrackPointGridHelper> FTrackPointGridHelper;
  std::unique_ptr<TWayPointGridHelper> FWayPointGridHelper;
  std::unique_ptr<TPointsDumpGridHelper> FPointsDumpGridHelper;
  std::unique_ptr<TExtIntPointGridHelper> FHRGridHelper;
  std::unique_ptr<TExtIntPointGridHelper> FCadenceGridHelper;
  std::unique_ptr<TExtDoublePointGridHelper> FSpeedGridHelper;
  std::shared_ptr<IIGotUDebugMsgIntf> memoSink_;
  DeviceWatch* watch_ = nullptr;

  bool shownOnce_ = false;
  bool jobRunning_ = false;
  bool deviceChangePending_ = false;
  bool closeAfterJob_ = false;
  bool rescanQueued_ = false;

  QLabel* lblPortStatus_;
  QLabel* lblModelValue_;
  QLabel* lblSerialValue_;
  QLabel* lblVersionValue_;
  QLabel* lblCountValue_;
  QPlainTextEdit* memoAutoStatus_;
  QPushButton* cmdDebug_;
  QTabWidget* pageControl1_;
  QTabWidget* tabTrackData_;
  QWidget* tshTracks_;
  QWidget* tshConfigDump_;
  QWidget* tshLogMessage_;
  QWidget* tshPointsDump_;
  QWidget* tshTrackPoints_;
  QWidget* tshHR_;
  QWidget* tshCadence_;
  QWidget* tshSpeed_;
  QWidget* tshWayPoints_;
  QList<GridView*> grids_;
  GridView* grdTracks_;
  GridView* grdTrackPoints_;
  GridView* grdWayPoints_;
  GridView* grdHR_;
  GridView* grdCadence_;
  GridView* grdSpeed_;
  GridView* grdPointsDump_;
  FlagFilterModel* pointsDumpFilter_;
  QLabel* lblPointData_;
  QLabel* lblHRData_;
  QLabel* lblCadenceData_;
  QLabel* lblSpeedData_;
  QLabel* lblPointsDumpStr_;
  QPlainTextEdit* txtConfigDump_;
  QListWidget* lstLogMessage_;
  QComboBox* cboPointsDumpFlagFilter_;
  QMenu* mnuRecent_;
  QAction* actAutoStart_;
  QAction* actSaveData_;
  QAction* actLoadData_;
  QAction* actSaveTrackGPX_;
  QAction* actSkipToInterval_;
  QAction* actDebugProtocol_;
  QAction* actOpenComPort_;
  QAction* actRescanDevice_;
  QAction* actQuit_;
  QAction* actPreferences_;
  QAction* actHelpSupport_;
  QAction* actHelpAbout_;
  QAction* mnuDeviceOpenComPort_;
};

} // namespace tarnwick::viewer
