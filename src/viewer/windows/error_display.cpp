#include "viewer/windows/error_display.hpp"

#include <QMessageBox>

namespace tarnwick::viewer {

namespace {

ErrorHandler& Handler() {
  static ErrorHandler handler;
  return handler;
}

} // namespace

ErrorHandler SetErrorHandler(ErrorHandler NewHandler) {
  ErrorHandler old = std::move(Handler());
  Handler() = std::move(NewHandler);
  return old;
}

void ShowError(QWidget* Parent, const QString& Message) {
  if (Handler()) {
    Handler()(Parent, Message);
    return;
  }
  QMessageBox::critical(Parent, "Tarnwick", Message);
}

void ShowMessage(QWidget* Parent, const QString& Message) {
  if (Handler()) {
    Handler()(Parent, Message);
    return;
  }
  QMessageBox::information(Parent, "Tarnwick", Message);
}

} // namespace tarnwick::viewer
