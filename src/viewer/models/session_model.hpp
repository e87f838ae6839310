#pragma once

#include "app/image_session.hpp"

#include <QObject>
#include <QString>

#include <memory>

namespace tarnwick::viewer {

/// The image the window shows, as an app::ImageSession that tells the panes what happened to
/// it. Opening and adopting build a new session first and replace the old one only when that
/// succeeded, so a failed open keeps what was shown; the panes are told before the old data
/// is freed (AboutToReplace) and after the new data is in place (Replaced).
class SessionModel : public QObject {
  Q_OBJECT

 public:
  explicit SessionModel(QObject* Parent = nullptr);
  ~SessionModel() override;

  const app::ImageSession& Session() const { return *session_; }
  bool HasImage() const { return session_->HasImage(); }
  const TIGotUPoints* Points() const { return session_->Points(); }

  /// Opens the pair Base names by the command line's rules, or the GPX file it names (".gpx");
  /// raises with its message and keeps what was shown before.
  void Open(const QString& Base);
  /// Whether FileName names a GPX file rather than an image.
  static bool IsGpxName(const QString& FileName);
  /// Takes a finished download in place of the image shown; raises when it cannot be decoded,
  /// keeping the image shown before.
  void Adopt(std::unique_ptr<TIGotUWholeData> Image);
  /// Saves the image as the pair Base names; raises, keeping the session as it was.
  void Save(const QString& Base);

  /// Reads the records' years by Setting ("auto", "recorded" or a first year) from now on;
  /// raises ConvertError for another text.
  void SetYearEra(const QString& Setting);
  /// Shows times on the clock of Zone from now on.
  void SetZone(const TimeZone& Zone);
  const TimeZone& Zone() const { return session_->Zone(); }

  /// The image's or GPX file's name for a title: the base file name, "unsaved download" or
  /// empty.
  QString Title() const;
  /// Where the image came from, for a person: "opened trip.dat and trip.bin" or
  /// "downloaded 2026-07-01 12:34, not saved", "opened ride.gpx".
  QString Source() const;
  /// What opening FileName showed, for the log: "Opened /home/me/trip.dat: 2,349 records",
  /// "Opened /home/me/ride.gpx: 2 tracks".
  QString OpenedText(const QString& FileName) const;

 signals:
  /// The image is about to be freed: presenters let go of it now.
  void AboutToReplace();
  /// Another image is shown (or the first).
  void Replaced();
  /// The same records are read anew: another year era or zone.
  void ReadingChanged();
  /// The image was saved under a name.
  void Saved();

 private:
  std::unique_ptr<app::ImageSession> NewSession() const;
  void Replace(std::unique_ptr<app::ImageSession> Session);

  std::unique_ptr<app::ImageSession> session_;
};

} // namespace tarnwick::viewer
