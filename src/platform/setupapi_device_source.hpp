#pragma once

#ifdef _WIN32

#include "device/device.hpp"

#include <optional>
#include <vector>

namespace tarnwick {

/// The present USB devices through SetupAPI, bound from "SetupApi.dll" at run time: each
/// device's first hardware ID, description, class GUID and driver key (the port name follows
/// from the last two). The library stays loaded while any source lives.
class SetupApiDeviceSource : public DevicePropertySource {
 public:
  /// Binds the library (the first live source loads it).
  SetupApiDeviceSource();
  ~SetupApiDeviceSource() override;
  SetupApiDeviceSource(const SetupApiDeviceSource&) = delete;
  SetupApiDeviceSource& operator=(const SetupApiDeviceSource&) = delete;

  /// Empty when the library could not be bound or the device set cannot be had.
  std::optional<std::vector<DeviceProperties>> PresentDevices() override;
};

} // namespace tarnwick

#endif
