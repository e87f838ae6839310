#include "viewer/windows/file_actions.hpp"

#include "viewer/models/session_model.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/job_runner.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer/windows/viewer_settings.hpp"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace tarnwick::viewer {

namespace {

const char* const kImageFilter = "(*.dat);;すべてのファイル (*)";
// Opening takes a GPX file as well: its tracks are shown without an image.
const char* const kOpenFilter = "(*.dat *.gpx);;(*.dat);;GPXファイル (*.gpx);;すべてのファイル (*)";
const char* const kGpxFilter = "GPXファイル (*.gpx)";

} // namespace

FileActions::FileActions(SessionModel& Session, JobRunner& Jobs, QWidget* DialogParent)
    : QObject(DialogParent), session_(Session), jobs_(Jobs), parent_(DialogParent) {}

QString FileActions::Thousands() const {
  return QLocale().groupSeparator();
}

QStringList FileActions::RecentFiles() {
  return ViewerSettings::RecentFiles();
}

bool FileActions::Open(const QString& FileName) {
  try {
    session_.Open(FileName);
  } catch (const std::exception& e) {
    ShowError(parent_, QString::fromStdString(e.what()));
    return false;
  }
  ViewerSettings::AddRecentFile(FileName);
  emit RecentChanged();
  QStringList warnings;
  for (const auto& warning : session_.Session().Warnings()) {
    warnings.append(QString::fromStdString(warning));
  }
  emit Opened(FileName, warnings);
  return true;
}

bool FileActions::Save(const QString& FileName) {
  if (!session_.HasImage()) {
    return false;
  }
  try {
    session_.Save(FileName);
  } catch (const std::exception& e) {
    ShowError(parent_, QString::fromStdString(e.what()));
    return false;
  }
  ViewerSettings::AddRecentFile(FileName);
  emit RecentChanged();
  const std::string base = FileName.toStdString();
  const QString dat =
      QFileInfo(QString::fromStdString(TIGotUWholeData::StatusFileName(base))).fileName();
  const QString bin =
      QFileInfo(QString::fromStdString(TIGotUWholeData::BlockFileName(base))).fileName();
  const int records = session_.Session().Image()->Status.NumberOfPoints();
  emit Done(QString("saved %1 and %2: %3 %4")
                .arg(dat, bin, QLocale().toString(records), records == 1 ? "record" : "records"));
  return true;
}

bool FileActions::ExportTracks(const QList<int>& Tracks, const QString& FileName) {
  const app::ImageSession& session = session_.Session();
  if (session.Points() == nullptr || Tracks.isEmpty() || jobs_.Running()) {
    return false;
  }
  std::vector<const TIGotUTrack*> tracks;
  try {
    for (int track : Tracks) {
      tracks.push_back(&session.TrackByNumber(track + 1));
    }
    session.CheckExportTarget(FileName.toStdString());
  } catch (const std::exception& e) {
    ShowError(parent_, QString::fromStdString(e.what()));
    return false;
  }
  const GPXPreferences prefs = LoadGpxPreferences();
  const std::string name = FileName.toStdString();
  app::ExportResult result;
  const bool ok = jobs_.Run([&] {
    return TProgressDialog::Execute(parent_, [&](const std::shared_ptr<IProgressInterface>& Sink) {
      result = app::ImageSession::Export(tracks, name, prefs, Sink);
      return result.Done;
    });
  });
  if (ok) {
    emit Done(QString::fromStdString(
        result.Summary(QFileInfo(FileName).fileName().toStdString(), Thousands().toStdString())));
  }
  return ok;
}

bool FileActions::ExportSplit(const QList<int>& Tracks, const QString& Folder) {
  const app::ImageSession& session = session_.Session();
  if (session.Points() == nullptr || Tracks.isEmpty() || jobs_.Running()) {
    return false;
  }
  std::vector<const TIGotUTrack*> tracks;
  std::vector<std::string> names;
  try {
    for (int track : Tracks) {
      tracks.push_back(&session.TrackByNumber(track + 1));
    }
    names = app::ImageSession::SplitNames(tracks, Folder.toStdString());
    for (const auto& name : names) {
      session.CheckExportTarget(name);
    }
  } catch (const std::exception& e) {
    ShowError(parent_, QString::fromStdString(e.what()));
    return false;
  }
  const GPXPreferences prefs = LoadGpxPreferences();
  app::ExportResult total;
  int files = 0;
  const bool ok = jobs_.Run([&] {
    return TProgressDialog::Execute(parent_, [&](const std::shared_ptr<IProgressInterface>& Sink) {
      for (size_t i = 0; i < tracks.size(); ++i) {
        Sink->SetMessage1(QFileInfo(QString::fromStdString(names[i])).fileName().toStdString());
        const app::ExportResult one = app::ImageSession::Export({tracks[i]}, names[i], prefs, Sink);
        if (!one.Done) {
          return false;
        }
        ++files;
        total.Tracks += one.Tracks;
        total.Points += one.Points;
        total.WayPoints += one.WayPoints;
        total.LeftOut.TrackPoints += one.LeftOut.TrackPoints;
        total.LeftOut.WayPoints += one.LeftOut.WayPoints;
      }
      return true;
    });
  });
  if (files > 0) {
    const QString target = QString("%1 %2 in %3")
                               .arg(files)
                               .arg(files == 1 ? "file" : "files")
                               .arg(QDir::toNativeSeparators(Folder));
    emit Done(
        QString::fromStdString(total.Summary(target.toStdString(), Thousands().toStdString())) +
        (ok ? QString() : QString(" (cancelled before the rest)")));
  }
  return ok;
}

void FileActions::OpenAction() {
  const QString name =
      QFileDialog::getOpenFileName(parent_, {}, ViewerSettings::LastFolder(), kOpenFilter);
  if (!name.isEmpty()) {
    ViewerSettings::SetLastFolder(name);
    Open(name);
  }
}

bool FileActions::SaveAction() {
  if (!session_.HasImage()) {
    return false;
  }
  const QString name =
      QFileDialog::getSaveFileName(parent_, {}, ViewerSettings::LastFolder(), kImageFilter);
  if (name.isEmpty()) {
    return false;
  }
  ViewerSettings::SetLastFolder(name);
  return Save(name);
}

void FileActions::ExportAction(const QList<int>& Tracks) {
  const TIGotUPoints* points = session_.Points();
  if (points == nullptr || Tracks.isEmpty()) {
    return;
  }
  bool split = false;
  if (Tracks.size() > 1) {
    QMessageBox ask(QMessageBox::Question, "Tarnwick",
                    QString("Write the %1 selected tracks into one GPX file, or each into a file "
                            "of its own named after its start?")
                        .arg(Tracks.size()),
                    QMessageBox::Cancel, parent_);
    ask.setObjectName("msgGpxSplit");
    QPushButton* one = ask.addButton("One File", QMessageBox::AcceptRole);
    QPushButton* each = ask.addButton("One File per Track", QMessageBox::AcceptRole);
    ask.exec();
    if (ask.clickedButton() != one && ask.clickedButton() != each) {
      return;
    }
    split = ask.clickedButton() == each;
  }
  if (split) {
    const QString folder = QFileDialog::getExistingDirectory(parent_, "Folder for the GPX files",
                                                             ViewerSettings::LastFolder());
    if (!folder.isEmpty()) {
      ViewerSettings::SetLastFolder(QDir(folder).filePath("x"));
      ExportSplit(Tracks, folder);
    }
    return;
  }
  std::vector<const TIGotUTrack*> tracks;
  for (int track : Tracks) {
    if (track >= 0 && track < points->Tracks().Count()) {
      tracks.push_back(&points->Tracks()[track]);
    }
  }
  const QString suggested =
      QDir(ViewerSettings::LastFolder())
          .filePath(QString::fromStdString(app::ImageSession::SuggestedGpxName(tracks)));
  QFileDialog dialog(parent_, {}, suggested, kGpxFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("gpx");
  dialog.selectFile(suggested);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    ViewerSettings::SetLastFolder(dialog.selectedFiles().first());
    ExportTracks(Tracks, dialog.selectedFiles().first());
  }
}

bool FileActions::MayDropImage() {
  if (!session_.Session().Unsaved()) {
    return true;
  }
  QMessageBox ask(QMessageBox::Question, "Tarnwick",
                  "The data downloaded from the logger has not been saved. Save it?",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  ask.setObjectName("msgUnsavedDownload");
  ask.setDefaultButton(QMessageBox::Save);
  switch (ask.exec()) {
  case QMessageBox::Save:
    return SaveAction();
  case QMessageBox::Discard:
    return true;
  default:
    return false;
  }
}

} // namespace tarnwick::viewer
