#pragma once

#include "device/com_port.hpp"
#include "device/device_info.hpp"
#include "device/port.hpp"
#include "support/errors.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Finds loggers, makes ports for them and tells whether a port's logger is still there.
class TIgotUDevice {
 public:
  virtual ~TIgotUDevice() = default;
  /// A new list of the loggers present now, or null when the enumeration cannot start
  /// (callers treat that like an empty list).
  virtual std::unique_ptr<TIGotUDeviceInfoList> EnumDevices() = 0;
  /// A new, closed port for Device, which must come from EnumDevices of this kind of
  /// enumerator (else InvalidCastError).
  virtual std::unique_ptr<TIgotUPort> CreatePort(const TIGotUDeviceInfo& Device) = 0;
  /// Whether the logger behind Port is still present; always true for a port made by name.
  virtual bool PortExist(const TIgotUPort& Port) = 0;
};

/// The properties of one device as the system reports them; a property it could not read is
/// absent. Windows gives class GUID and driver key (the port name follows from them);
/// systems that know the port's device node give it directly.
struct DeviceProperties {
  /// The first hardware ID, like USB\VID_0DF7&PID_0900&REV_0200.
  std::optional<std::string> HardwareID;
  /// The device's description for people.
  std::optional<std::string> Description;
  /// Windows: the device's setup class GUID.
  std::optional<std::string> ClassGUID;
  /// Windows: the driver key, the class GUID, a backslash and the instance number.
  std::optional<std::string> DriverKey;
  /// The serial port's device name, where the source knows it directly.
  std::optional<std::string> PortName;
};

/// A source of device properties: the system's device database, or a stand-in.
class DevicePropertySource {
 public:
  virtual ~DevicePropertySource() = default;
  /// The devices present now, in the system's order; empty when the source cannot be read.
  virtual std::optional<std::vector<DeviceProperties>> PresentDevices() = 0;
};

/// Makes a closed serial port for a port name.
using ComPortFactory = std::function<std::unique_ptr<ComPort>(const std::string& PortName)>;

/// The enumerator over any property sources: recognises loggers by their hardware IDs, gives
/// each its chunk size and port name, and makes ComPort ports through the factory.
/// Sends "HWID=", "ClassGUID=", "Driver=" and "Name=" traces to the debugger output.
class DeviceEnumerator : public TIgotUDevice {
 public:
  /// Lists the devices of Sources, in this order; ports come from PortFactory.
  DeviceEnumerator(std::vector<std::shared_ptr<DevicePropertySource>> Sources,
                   ComPortFactory PortFactory)
      : sources_(std::move(Sources)), portFactory_(std::move(PortFactory)) {}

  /// Loggers of every source, source by source; null only when no source could be read.
  std::unique_ptr<TIGotUDeviceInfoList> EnumDevices() override;
  /// Device must be a SerialDeviceInfo; the port gets its identity and chunk size.
  std::unique_ptr<TIgotUPort> CreatePort(const TIGotUDeviceInfo& Device) override;
  /// Port must be a ComPort; compares vendor, product and revision, not the port name.
  bool PortExist(const TIgotUPort& Port) override;

  /// The logger record of one device, or null when it is not a logger of the vendor (or its
  /// hardware ID is missing or malformed).
  static std::unique_ptr<SerialDeviceInfo> CreateDeviceInfo(const DeviceProperties& Device);

 private:
  std::vector<std::shared_ptr<DevicePropertySource>> sources_;
  ComPortFactory portFactory_;
};

} // namespace tarnwick
