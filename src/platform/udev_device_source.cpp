#include "platform/udev_device_source.hpp"

#include "platform/serial_ports.hpp"

#include <algorithm>
#include <libudev.h>
#include <memory>

namespace tarnwick {

namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Upper(std::string_view text) {
  std::string s(text);
  std::transform(s.begin(), s.end(), s.begin(), [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return s;
}

// Calls Visit(device) for each device of the tty subsystem that has a parent.
template <class Visitor>
bool ForEachTty(Visitor visit) {
  UdevPtr<udev> u(udev_new());
  if (!u) {
    return false;
  }
  UdevPtr<udev_enumerate> e(udev_enumerate_new(u.get()));
  if (!e || udev_enumerate_add_match_subsystem(e.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(e.get()) < 0) {
    return false;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
    UdevPtr<udev_device> dev(
        udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
    if (dev && udev_device_get_devnode(dev.get()) != nullptr &&
        udev_device_get_parent(dev.get()) != nullptr) {
      visit(dev.get());
    }
  }
  return true;
}

} // namespace

std::optional<std::string> UdevDeviceSource::UsbHardwareID(const char* IdVendor,
                                                           const char* IdProduct,
                                                           const char* BcdDevice) {
  if (IdVendor == nullptr || IdProduct == nullptr || BcdDevice == nullptr) {
    return std::nullopt;
  }
  return "USB\\VID_" + Upper(IdVendor) + "&PID_" + Upper(IdProduct) + "&REV_" + Upper(BcdDevice);
}

std::optional<std::vector<DeviceProperties>> UdevDeviceSource::PresentDevices() {
  std::vector<DeviceProperties> devices;
  const bool ok = ForEachTty([&](udev_device* tty) {
    // Parents belong to the child: they are not unreferenced separately.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    if (usb == nullptr) {
      return;
    }
    DeviceProperties p;
    p.HardwareID = UsbHardwareID(udev_device_get_sysattr_value(usb, "idVendor"),
                                 udev_device_get_sysattr_value(usb, "idProduct"),
                                 udev_device_get_sysattr_value(usb, "bcdDevice"));
    const char* description = udev_device_get_sysattr_value(usb, "product");
    if (description == nullptr) {
      description = udev_device_get_property_value(tty, "ID_MODEL_FROM_DATABASE");
    }
    if (description != nullptr) {
      p.Description = description;
    }
    p.PortName = udev_device_get_devnode(tty);
    devices.push_back(std::move(p));
  });
  if (!ok) {
    return std::nullopt;
  }
  return devices;
}

std::vector<std::string> GetComPorts() {
  std::vector<std::string> ports;
  ForEachTty([&](udev_device* tty) {
    // The 8250 driver registers placeholder ports on the platform bus whether or not a UART
    // is there; real ports hang off USB, PCI or PnP.
    const char* subsystem = udev_device_get_subsystem(udev_device_get_parent(tty));
    if (subsystem != nullptr && std::string_view(subsystem) == "platform") {
      return;
    }
    ports.emplace_back(udev_device_get_devnode(tty));
  });
  std::sort(ports.begin(), ports.end());
  return ports;
}

std::shared_ptr<DevicePropertySource> CreateSystemDeviceSource() {
  return std::make_shared<UdevDeviceSource>();
}

} // namespace tarnwick
