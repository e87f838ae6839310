#pragma once

#include <QObject>

#include <memory>

class QFileSystemWatcher;
class QSocketNotifier;

namespace tarnwick {
class DeviceChangeWatcher;
}

namespace tarnwick::viewer {

/// Tells the window that devices came or went: the system's USB and terminal devices (udev
/// on Linux) and the simulated loggers that announce themselves in their folder, so that
/// starting or stopping a simulated logger is seen like plugging a logger in or out.
class DeviceWatch : public QObject {
  Q_OBJECT
 public:
  /// Watches the system (when its monitor can be set up) and SimFolder (when not empty).
  DeviceWatch(const QString& SimFolder, QObject* Parent = nullptr);
  ~DeviceWatch() override;

 signals:
  /// One or more devices changed.
  void Changed();

 private:
  std::unique_ptr<DeviceChangeWatcher> udev_;
  QSocketNotifier* notifier_ = nullptr;
  QFileSystemWatcher* folder_ = nullptr;
};

} // namespace tarnwick::viewer
