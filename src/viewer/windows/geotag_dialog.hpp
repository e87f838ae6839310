#pragma once

#include "app/geotag_job.hpp"
#include "viewer/map/map_photo.hpp"

#include <QDialog>
#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace tarnwick::viewer {

class GeotagModel;
class JobRunner;
class Selection;
class SessionModel;
class ZoneBox;

/// "Geotag Photos...": photos or folders chosen, the camera's zone and clock offset, a preview
/// of what `tarnwick geotag` would do with them redone on every change (matching only: the
/// photos are read once, when chosen), and "Apply", which writes the tags under the progress
/// dialog. The dialog is not modal, so the map and the grids stay usable beside it: that is
/// how the offset is set from one photo whose place the user knows ("Set Offset from Photo",
/// then a click on that place on the map or a track point in the grid). Tagged photos go to
/// the map by PhotosTagged.
class TGeotagDialog : public QDialog {
  Q_OBJECT

 public:
  /// The largest clock offset taken, in seconds: a year, for a camera whose clock was never
  /// set.
  static constexpr int kMaxOffsetSeconds = 366 * 86400;

  TGeotagDialog(SessionModel& Session, Selection& Selection, JobRunner& Jobs, QWidget* Parent);
  ~TGeotagDialog() override;

  /// Adds Paths (photos and folders; folders by the "Recursive" choice) and reads the photos
  /// under the progress dialog; true when they were read.
  bool AddPaths(const QStringList& Paths);
  /// Forgets the photos.
  void ClearPhotos();
  /// The options as the controls say them (a zone that is not valid: the last valid one).
  app::GeotagOptions Options() const;
  /// Matches the photos by the options again and shows the outcome (no file is read).
  void UpdatePreview();
  /// Writes what the preview says, under the progress dialog with cancel, and shows the
  /// outcome; true when the run was not cancelled and raised nothing.
  bool Apply();
  /// Waits for the user to show where photo Row was taken: the next track point selected (on
  /// the map or in the grid) sets the offset by SetOffsetFromPoint. Row -1 stops waiting.
  void BeginOffsetFromPhoto(int Row);
  /// Sets the clock offset so that photo Row was taken at the time of Point of Track
  /// (indexes of the session's series): camera time minus that point's time. False when the
  /// photo has no time or the point does not exist.
  bool SetOffsetFromPoint(int Row, int Track, int Point);
  /// "+1:02:03 (camera ahead)" for Seconds of offset.
  static QString OffsetText(int Seconds);

  GeotagModel& Model() const { return *model_; }
  QTableView* Table() const { return table_; }
  /// The photos chosen, as collected from the paths.
  const std::vector<std::string>& Photos() const { return photos_; }

 signals:
  /// What was done, for the status bar.
  void Done(const QString& Message);
  /// The photos tagged while the dialog was open, where they now are.
  void PhotosTagged(const std::vector<MapPhoto>& Photos);

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  bool ReadPhotos();
  void OffsetChanged();
  void PointChosen(int Point);
  void SaveChoices() const;
  void UpdateButtons();
  int CurrentRow() const;

  SessionModel& session_;
  Selection& selection_;
  JobRunner& jobs_;
  QStringList paths_;
  std::vector<std::string> photos_;
  std::unique_ptr<app::GeotagJob> job_;
  GeotagModel* model_;
  int offsetRow_ = -1;
  // An Apply wrote photos since they were read, or the tracks changed: the job is old.
  bool stale_ = false;
  // Tagged photos by file, kept across runs of the dialog.
  QHash<QString, MapPhoto> tagged_;
  TimeZone lastZone_;

  QLabel* lblPhotos_;
  QCheckBox* chkRecursive_;
  ZoneBox* cboZone_;
  QSpinBox* spnOffset_;
  QLabel* lblOffset_;
  QSpinBox* spnMaxGap_;
  QCheckBox* chkOverwrite_;
  QCheckBox* chkSidecar_;
  QCheckBox* chkBackup_;
  QPushButton* cmdOffsetFromPhoto_;
  QLabel* lblHint_;
  QTableView* table_;
  QLabel* lblSummary_;
  QPushButton* cmdApply_;
};

} // namespace tarnwick::viewer
