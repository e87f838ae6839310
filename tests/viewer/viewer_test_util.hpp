#pragma once

#include "viewer/windows/error_display.hpp"

#include <QStringList>

namespace tarnwick::test {

/// Records what reaches the error display instead of showing message boxes, while it lives.
class ErrorRecorder {
 public:
  ErrorRecorder() {
    old_ = viewer::SetErrorHandler([this](QWidget*, const QString& M) { Messages.append(M); });
  }
  ~ErrorRecorder() { viewer::SetErrorHandler(std::move(old_)); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  QStringList Messages;

 private:
  viewer::ErrorHandler old_;
};

} // namespace tarnwick::test
