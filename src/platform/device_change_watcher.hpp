#pragma once

#include <memory>

namespace tarnwick {

/// Notices USB and terminal devices coming and going, through a udev monitor whose file
/// descriptor an event loop can poll (a QSocketNotifier, poll()). Linux only: on Windows the
/// window's device-change message does this.
class DeviceChangeWatcher {
 public:
  /// Starts monitoring; raises Error when the monitor cannot be set up.
  DeviceChangeWatcher();
  ~DeviceChangeWatcher();
  DeviceChangeWatcher(const DeviceChangeWatcher&) = delete;
  DeviceChangeWatcher& operator=(const DeviceChangeWatcher&) = delete;

  /// The descriptor that becomes readable when changes are pending.
  int Fd() const;
  /// Takes every pending change without waiting; true when there was at least one.
  bool ReadChanges();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace tarnwick
