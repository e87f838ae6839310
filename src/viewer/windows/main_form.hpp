#pragma once

#include "app/app_settings.hpp"
#include "app/logger_link.hpp"
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"

#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace tarnwick::viewer {

class ConfigDumpPage;
class DeviceControl;
class FileActions;
class GridView;
class JobRunner;
class LogMessagePage;
class TGeotagDialog;
class PointsDumpPane;
class Selection;
class SessionModel;
class TracksPane;

/// The main window: the logger's status and the buttons at the top, the pages of the image
/// below with the graphs of the selected track beside them, what was done in the status bar. It
/// owns the link to the logger, the session with the image and the selection, and hands the work to
/// its panes and controllers: the tracks and raw-records pages, the device control (ports and
/// downloads), the file actions (open, save, export) and the job runner (one download, export or
/// debug session at a time).
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
  /// Opens the pair FileName names, or the GPX file; a refusal keeps what was shown and shows
  /// the error.
  bool LoadFile(const QString& FileName);
  void SaveFile(const QString& FileName);
  /// Exports the selected tracks into one file with the saved GPX preferences; true when
  /// written.
  bool ExportGpx(const QString& FileName);
  void SkipToInterval();
  void DeviceChanged();
  void ScanDevices();
  void ShowPortStatus();
  void UsePort(std::unique_ptr<TIgotUPort> Port);
  /// Reads the saved time preferences again and shows the data by them.
  void ApplyTimePreferences();
  /// "Geotag Photos...": shows the geotag dialog (one per window, kept while it lives).
  TGeotagDialog* ShowGeotagDialog();

  app::LoggerLink& Link() { return *link_; }
  SessionModel& Session() { return *session_; }
  FileActions& Files() { return *files_; }
  const TIGotUWholeData* WholeData() const;
  const TIGotUPoints* Points() const;
  bool CanDebug() const { return FCanDebug; }
  /// Whether a download, export or the debug window is running.
  bool JobRunning() const;
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
  QWidget* CreateTopRow(QWidget* Parent);
  void UpdateActions();
  void UpdateTitle();
  void UpdateZoneLabel();
  void ShowOpened(const QString& FileName, const QStringList& Warnings);
  void UpdateRecentMenu();

  app::Settings settings_;
  bool FCanDebug = false;
  bool shownOnce_ = false;
  std::unique_ptr<app::LoggerLink> link_;
  SessionModel* session_;
  Selection* selection_;
  JobRunner* jobs_;
  DeviceControl* device_;
  FileActions* files_;
  std::shared_ptr<IIGotUDebugMsgIntf> memoSink_;

  QLabel* lblPortStatus_;
  QLabel* lblWarning_;
  QLabel* lblEraValue_;
  QLabel* lblZone_;
  QPushButton* cmdDebug_;
  QTabWidget* pageControl1_;
  TracksPane* tracks_;
  ConfigDumpPage* configDump_;
  PointsDumpPane* pointsDump_;
  LogMessagePage* logMessages_;
  TGeotagDialog* geotag_ = nullptr;
  QList<GridView*> grids_;
  QMenu* mnuRecent_;
  QAction* actAutoStart_;
  QAction* actSaveData_;
  QAction* actLoadData_;
  QAction* actSaveTrackGPX_;
  QAction* actSaveTracksGPX_;
  QAction* actGeotag_;
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
