#pragma once

#include <QWidget>

class QListWidget;

namespace tarnwick::viewer {

class SessionModel;

/// The "LogMessage" page: the logger's log messages of the image, each with its time.
class LogMessagePage : public QWidget {
  Q_OBJECT

 public:
  explicit LogMessagePage(SessionModel& Session, QWidget* Parent = nullptr);

 signals:
  /// Whether the image shown has log messages (the page is worth showing).
  void HasMessages(bool Any);

 private:
  void ShowMessages();

  SessionModel& session_;
  QListWidget* lstLogMessage_;
};

} // namespace tarnwick::viewer
