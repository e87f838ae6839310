#include "viewer/panes/config_dump_page.hpp"

#include "present/image_texts.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/pane_widgets.hpp"

#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

namespace tarnwick::viewer {

ConfigDumpPage::ConfigDumpPage(SessionModel& Session, QWidget* Parent)
    : QWidget(Parent), session_(Session) {
  setObjectName("tshConfigDump");
  txtConfigDump_ = new QPlainTextEdit(this);
  txtConfigDump_->setObjectName("txtConfigDump");
  txtConfigDump_->setReadOnly(true);
  txtConfigDump_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtConfigDump_->setFont(FixedFont());
  (new QVBoxLayout(this))->addWidget(txtConfigDump_);
  connect(&session_, &SessionModel::Replaced, this, &ConfigDumpPage::ShowImage);
}

void ConfigDumpPage::ShowImage() {
  QStringList text;
  if (const TIGotUWholeData* image = session_.Session().Image()) {
    for (const auto& line : ConfigDumpLines(image->ConfigBlockPtr(), image->ConfigLength())) {
      text.append(QString::fromStdString(line));
    }
  }
  txtConfigDump_->setPlainText(text.join('\n'));
}

} // namespace tarnwick::viewer
