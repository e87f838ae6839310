#include "viewer/models/session_model.hpp"

#include "support/date_time.hpp"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace tarnwick::viewer {

namespace {

QString FileNameOf(const std::string& Path) {
  return QFileInfo(QString::fromStdString(Path)).fileName();
}

} // namespace

SessionModel::SessionModel(QObject* Parent)
    : QObject(Parent), session_(std::make_unique<app::ImageSession>()) {}

SessionModel::~SessionModel() = default;

std::unique_ptr<app::ImageSession> SessionModel::NewSession() const {
  auto session = std::make_unique<app::ImageSession>(session_->YearEraSetting());
  session->SetZone(session_->Zone());
  return session;
}

void SessionModel::Replace(std::unique_ptr<app::ImageSession> Session) {
  emit AboutToReplace();
  session_ = std::move(Session);
  emit Replaced();
}

bool SessionModel::IsGpxName(const QString& FileName) {
  return QFileInfo(FileName).suffix().compare("gpx", Qt::CaseInsensitive) == 0;
}

void SessionModel::Open(const QString& Base) {
  auto session = NewSession();
  if (IsGpxName(Base)) {
    session->OpenGpx(Base.toStdString());
  } else {
    session->Open(Base.toStdString());
  }
  Replace(std::move(session));
}

void SessionModel::Adopt(std::unique_ptr<TIGotUWholeData> Image) {
  auto session = NewSession();
  session->Adopt(std::move(Image));
  Replace(std::move(session));
}

void SessionModel::Save(const QString& Base) {
  session_->Save(Base.toStdString());
  emit Saved();
}

void SessionModel::SetYearEra(const QString& Setting) {
  if (Setting.toStdString() == session_->YearEraSetting()) {
    return;
  }
  session_->SetYearEra(Setting.toStdString());
  emit ReadingChanged();
}

void SessionModel::SetZone(const TimeZone& Zone) {
  if (Zone == session_->Zone()) {
    return;
  }
  session_->SetZone(Zone);
  emit ReadingChanged();
}

QString SessionModel::Title() const {
  if (session_->HasGpx()) {
    return FileNameOf(session_->Name());
  }
  if (!session_->HasImage()) {
    return {};
  }
  if (session_->Name().empty()) {
    return "unsaved download";
  }
  return QFileInfo(QString::fromStdString(session_->Name())).fileName();
}

QString SessionModel::Source() const {
  if (session_->HasGpx()) {
    return "opened " + FileNameOf(session_->Name());
  }
  if (!session_->HasImage()) {
    return {};
  }
  const std::string& name = session_->Name();
  if (session_->FromDownload()) {
    QString when;
    if (const auto moment = session_->Image()->DownloadTime()) {
      when = " " + QString::fromStdString(
                       FormatDateTime("yyyy-mm-dd hh:nn", session_->Zone().FromUtc(*moment)));
    }
    return "downloaded" + when +
           (name.empty() ? QString(", not saved")
                         : ", saved as " + FileNameOf(TIGotUWholeData::StatusFileName(name)));
  }
  return "opened " + FileNameOf(TIGotUWholeData::StatusFileName(name)) + " and " +
         FileNameOf(TIGotUWholeData::BlockFileName(name));
}

QString SessionModel::OpenedText(const QString& FileName) const {
  const QString count =
      session_->HasGpx()
          ? QLocale().toString(static_cast<qulonglong>(session_->Series().size())) + " tracks"
          : QLocale().toString(session_->HasImage() ? session_->Image()->Status.NumberOfPoints()
                                                    : 0) +
                " records";
  return "Opened " + QDir::toNativeSeparators(QFileInfo(FileName).absoluteFilePath()) + ": " +
         count;
}

} // namespace tarnwick::viewer
