#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace tarnwick::viewer {

class JobRunner;
class SessionModel;

/// What the window does with files: opens and saves memory images by the command line's
/// rules, exports tracks as GPX (into one file or one per track, named as "export --split"
/// names them), keeps the recent images, and asks before an unsaved download is dropped.
/// Errors go to the error display; what was done is told as a status text.
class FileActions : public QObject {
  Q_OBJECT

 public:
  /// Dialogs open over DialogParent.
  FileActions(SessionModel& Session, JobRunner& Jobs, QWidget* DialogParent);

  /// Opens the pair FileName names; a refusal keeps what was shown and shows the error.
  bool Open(const QString& FileName);
  /// Saves the image as FileName; true when saved.
  bool Save(const QString& FileName);
  /// Exports Tracks (indexes in written order) into one GPX file; true when written.
  bool ExportTracks(const QList<int>& Tracks, const QString& FileName);
  /// Exports Tracks into Folder, one file per track; true when all were written.
  bool ExportSplit(const QList<int>& Tracks, const QString& Folder);

  /// "LoadData": asks for an image and opens it.
  void OpenAction();
  /// "SaveData": asks for a name and saves; true when saved.
  bool SaveAction();
  /// Asks where Tracks go (one file, or a folder when there are several and the user wants
  /// one file each) and exports them.
  void ExportAction(const QList<int>& Tracks);
  /// Before the image is dropped (the window closes): an unsaved download is saved, dropped
  /// or kept as the user answers. True when it may go.
  bool MayDropImage();

  static QStringList RecentFiles();

 signals:
  /// What was done, for the status bar.
  void Done(const QString& Message);
  /// An image was opened from FileName; Warnings are what its load found doubtful.
  void Opened(const QString& FileName, const QStringList& Warnings);
  /// The recent images changed.
  void RecentChanged();

 private:
  QString Thousands() const;

  SessionModel& session_;
  JobRunner& jobs_;
  QWidget* parent_;
};

} // namespace tarnwick::viewer
