#include "platform/device_change_watcher.hpp"

#include "support/errors.hpp"

#include <fcntl.h>
#include <libudev.h>

namespace tarnwick {

struct DeviceChangeWatcher::Impl {
  udev* Udev = nullptr;
  udev_monitor* Monitor = nullptr;

  ~Impl() {
    if (Monitor != nullptr) {
      udev_monitor_unref(Monitor);
    }
    if (Udev != nullptr) {
      udev_unref(Udev);
    }
  }
};

DeviceChangeWatcher::DeviceChangeWatcher() : impl_(std::make_unique<Impl>()) {
  impl_->Udev = udev_new();
  if (impl_->Udev == nullptr) {
    throw Error("Cannot watch for device changes: udev is not available");
  }
  // Events from the udev daemon arrive after its rules ran, so the device node exists and
  // its permissions are final when the scan that follows looks at it.
  impl_->Monitor = udev_monitor_new_from_netlink(impl_->Udev, "udev");
  if (impl_->Monitor == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(impl_->Monitor, "tty", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(impl_->Monitor, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(impl_->Monitor) < 0) {
    throw Error("Cannot watch for device changes: the udev monitor cannot be set up");
  }
  const int fd = udev_monitor_get_fd(impl_->Monitor);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

DeviceChangeWatcher::~DeviceChangeWatcher() = default;

int DeviceChangeWatcher::Fd() const {
  return udev_monitor_get_fd(impl_->Monitor);
}

bool DeviceChangeWatcher::ReadChanges() {
  bool any = false;
  while (udev_device* dev = udev_monitor_receive_device(impl_->Monitor)) {
    any = true;
    udev_device_unref(dev);
  }
  return any;
}

} // namespace tarnwick
