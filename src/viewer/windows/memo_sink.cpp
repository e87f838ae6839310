#include "viewer/windows/memo_sink.hpp"

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QString>

namespace tarnwick::viewer {

void MemoSink::IGotUDebugMessage(const std::string& Msg) {
  QMetaObject::invokeMethod(
      memo_, [m = memo_, t = QString::fromStdString(Msg)] { m->appendPlainText(t); },
      Qt::AutoConnection);
}

} // namespace tarnwick::viewer
