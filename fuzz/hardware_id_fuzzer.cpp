// Hardware IDs, class GUIDs and driver keys as a device database reports them, through the
// parser, the port-name rule and the device-record builder.
//
// Input: up to four texts separated by NUL bytes: hardware ID, driver key, class GUID,
// description.
#include "device/device.hpp"
#include "device/hardware_id.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size && parts.size() <= 4; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(4);

  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string revision;
  if (ParseHardwareID(parts[0], vendor, product, revision)) {
    // What was parsed prints back to an ID that parses to the same values.
    uint16_t v2 = 0;
    uint16_t p2 = 0;
    std::string r2;
    if (!ParseHardwareID(FormatHardwareID(vendor, product, revision), v2, p2, r2) || v2 != vendor ||
        p2 != product || r2 != revision) {
      std::abort();
    }
  }
  const std::string port = ComPortNameFromDriverKey(parts[2], parts[1]);
  if (!port.empty() && port.rfind("COM", 0) != 0) {
    std::abort();
  }

  DeviceProperties props;
  props.HardwareID = parts[0];
  props.DriverKey = parts[1];
  props.ClassGUID = parts[2];
  props.Description = parts[3];
  if (auto info = DeviceEnumerator::CreateDeviceInfo(props)) {
    if (info->InfoRec.VendorID != kIGotUVendorID || info->ComPort != port) {
      std::abort();
    }
  }
  return 0;
}
