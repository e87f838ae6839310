#pragma once

#include <QByteArray>
#include <QString>

class QImage;
class QMainWindow;

namespace tarnwick {
class TIGotUControl;
}

namespace tarnwick::viewer {

/// Saves a PNG of every page of the main window Form and of each dialog into Folder (made when
/// missing): what a user sees, for checking the layout without a display. Control is the
/// logger control the debug window works on. Returns the number of pictures written.
int SaveScreenshots(QMainWindow& Form, TIGotUControl& Control, const QString& Folder);

/// A JPEG of Picture whose EXIF says it was taken at DateTime ("YYYY:MM:DD HH:MM:SS" on the
/// camera's clock): the least a camera writes, an IFD0 that points to an Exif IFD with
/// DateTimeOriginal. The geotag pictures and tests take photos of it.
QByteArray SampleCameraJpeg(const QImage& Picture, const QByteArray& DateTime);

} // namespace tarnwick::viewer
