#pragma once

#include "device/device.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The USB serial terminals known to udev: for each terminal with a USB device above it, the
/// hardware-ID text built from that device's idVendor, idProduct and bcdDevice, its product
/// text as description, and the terminal's device node as port name. Reads sysfs through
/// libudev; needs no udev daemon.
class UdevDeviceSource : public DevicePropertySource {
 public:
  /// The terminals present now; empty when udev cannot be opened.
  std::optional<std::vector<DeviceProperties>> PresentDevices() override;

  /// USB\VID_xxxx&PID_xxxx&REV_xxxx from the sysfs texts (upper-cased); empty when one is
  /// missing.
  static std::optional<std::string> UsbHardwareID(const char* IdVendor, const char* IdProduct,
                                                  const char* BcdDevice);
};

} // namespace tarnwick
