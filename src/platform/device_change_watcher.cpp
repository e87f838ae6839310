#include "platform/device_change_watcher.hpp"

#include "support/errors.hpp"

#include <fcntl.h>
#include <libudev.h>

namespace tarnwick {

struct TDeviceChangeWatcher::Impl {
  udev* FUdev = nullptr;
  udev_monitor* FMonitor = nullptr;

  ~Impl() {
    if (FMonitor != nullptr) {
      udev_monitor_unref(FMonitor);
    }
    if (FUdev != nullptr) {
      udev_unref(FUdev);
    }
  }
};

TDeviceChangeWatcher::TDeviceChangeWatcher() : FImpl(std::make_unique<Impl>()) {
  FImpl->FUdev = udev_new();
  if (FImpl->FUdev == nullptr) {
    throw Error("Cannot watch for device changes: udev is not available");
  }
  // Events from the udev daemon arrive after its rules ran, so the device node exists and
  // its permissions are final when the scan that follows looks at it.
  FImpl->FMonitor = udev_monitor_new_from_netlink(FImpl->FUdev, "udev");
  if (FImpl->FMonitor == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(FImpl->FMonitor, "tty", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(FImpl->FMonitor, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(FImpl->FMonitor) < 0) {
    throw Error("Cannot watch for device changes: the udev monitor cannot be set up");
  }
  const int fd = udev_monitor_get_fd(FImpl->FMonitor);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

TDeviceChangeWatcher::~TDeviceChangeWatcher() = default;

int TDeviceChangeWatcher::Fd() const {
  return udev_monitor_get_fd(FImpl->FMonitor);
}

bool TDeviceChangeWatcher::ReadChanges() {
  bool any = false;
  while (udev_device* dev = udev_monitor_receive_device(FImpl->FMonitor)) {
    any = true;
    udev_device_unref(dev);
  }
  return any;
}

} // namespace tarnwick
