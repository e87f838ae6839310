#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace tarnwick::viewer {

class SessionModel;

/// The "ConfigDump" page: the image's configuration block in hexadecimal, 16 bytes a line.
class ConfigDumpPage : public QWidget {
  Q_OBJECT

 public:
  explicit ConfigDumpPage(SessionModel& Session, QWidget* Parent = nullptr);

 private:
  void ShowImage();

  SessionModel& session_;
  QPlainTextEdit* txtConfigDump_;
};

} // namespace tarnwick::viewer
