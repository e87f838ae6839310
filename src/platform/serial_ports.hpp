#pragma once

#include "device/com_port.hpp"
#include "device/device.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

/// The serial ports of the machine by device name, for choosing a port by hand: on Linux the
/// terminals with a hardware parent (USB, PCI, PnP) from udev, sorted; on Windows the values
/// of HARDWARE\DEVICEMAP\SERIALCOMM. Empty when there are none or they cannot be listed.
std::vector<std::string> GetComPorts();

/// A new, closed port over the system's serial port PortName; chunk size 8, no USB identity.
std::unique_ptr<ComPort> CreateComPort(const std::string& PortName);

/// The system's own device source: udev on Linux, SetupAPI on Windows.
std::shared_ptr<DevicePropertySource> CreateSystemDeviceSource();

/// An enumerator over the system's devices and the Extra sources (listed after them), whose
/// ports are the system's serial ports.
std::unique_ptr<TIgotUDevice>
CreateIgotUDevice(std::vector<std::shared_ptr<DevicePropertySource>> Extra = {});

} // namespace tarnwick
