#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tarnwick::viewer {

/// The application's general error display: a message box titled "Tarnwick" with the
/// error's message. Tests put a recorder in its place.
void ShowError(QWidget* Parent, const QString& Message);

/// Replaces what ShowError does (null restores the message box); returns the one before.
using ErrorHandler = std::function<void(QWidget*, const QString&)>;
ErrorHandler SetErrorHandler(ErrorHandler Handler);

/// A plain message box with an OK button, for the viewer's own short messages; replaced
/// together with ShowError.
void ShowMessage(QWidget* Parent, const QString& Message);

} // namespace tarnwick::viewer
