#pragma once

#include "app/logger_link.hpp"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace tarnwick::viewer {

class DeviceWatch;
class JobRunner;
class SessionModel;
class TDevicesDialog;

/// The window's logger: finds loggers when asked and when devices come or go, keeps the port
/// of the one in use (or of a port chosen by hand) and drops it when its device is gone, says
/// so in one status text, and downloads through it into the session.
class DeviceControl : public QObject {
  Q_OBJECT

 public:
  /// Dialogs open over DialogParent. With Watch, device changes of the system and of the
  /// simulated loggers' folder are followed.
  DeviceControl(app::LoggerLink& Link, SessionModel& Session, JobRunner& Jobs,
                QWidget* DialogParent, bool Watch);
  ~DeviceControl() override;

  /// Looks for loggers: one usable logger is taken, several are offered in the device
  /// dialog (which is updated, not opened again, when devices change while it is open).
  void ScanDevices();
  /// Tells the status text now.
  void ShowPortStatus();
  /// Devices came or went: a held port whose device is gone is dropped; without a port the
  /// loggers are looked for again a moment later. Waits for a running job.
  void DeviceChanged();
  /// Holds Port, made for the logger at PortName with the USB identity Identity, or by hand
  /// (no identity).
  void UsePort(std::unique_ptr<TIgotUPort> Port, const QString& PortName = {},
               std::optional<RIGotUDeviceInfoRec> Identity = std::nullopt);
  /// "Open ComPort...": the system's serial ports and the simulated loggers' ports.
  void OpenComPortByHand();
  /// Downloads the logger's memory under the progress dialog; true when the session shows
  /// the new image. A cancelled or failed download keeps the image shown before.
  bool Download();

  QString StatusText() const;

 signals:
  /// The status text changed.
  void StatusChanged(const QString& Text);
  /// A port was taken or dropped.
  void PortChanged();
  /// A download begins: its log starts afresh.
  void DownloadStarting();

 private:
  bool HeldPortPresent(const TIGotUDeviceInfoList& List) const;

  app::LoggerLink& link_;
  SessionModel& session_;
  JobRunner& jobs_;
  QWidget* parent_;
  DeviceWatch* watch_ = nullptr;
  QString heldName_;
  std::optional<RIGotUDeviceInfoRec> heldIdentity_;
  QString refused_; // why the loggers found cannot be used
  bool rescanQueued_ = false;
  QPointer<TDevicesDialog> dialog_;
  std::unique_ptr<TIGotUDeviceInfoList> offered_; // what the device dialog lists
};

} // namespace tarnwick::viewer
