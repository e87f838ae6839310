#include "viewer/panes/log_message_page.hpp"

#include "present/image_texts.hpp"
#include "viewer/models/session_model.hpp"

#include <QListWidget>
#include <QVBoxLayout>

namespace tarnwick::viewer {

LogMessagePage::LogMessagePage(SessionModel& Session, QWidget* Parent)
    : QWidget(Parent), session_(Session) {
  setObjectName("tshLogMessage");
  lstLogMessage_ = new QListWidget(this);
  lstLogMessage_->setObjectName("lstLogMessage");
  (new QVBoxLayout(this))->addWidget(lstLogMessage_);
  connect(&session_, &SessionModel::Replaced, this, &LogMessagePage::ShowMessages);
  connect(&session_, &SessionModel::ReadingChanged, this, &LogMessagePage::ShowMessages);
}

void LogMessagePage::ShowMessages() {
  lstLogMessage_->clear();
  const TIGotUPoints* points = session_.Points();
  if (points == nullptr) {
    emit HasMessages(false);
    return;
  }
  for (const auto* message : points->DebugPoints()) {
    lstLogMessage_->addItem(QString::fromStdString(LogMessageEntry(*message, session_.Zone())));
  }
  emit HasMessages(!points->DebugPoints().Empty());
}

} // namespace tarnwick::viewer
