#include "device/device.hpp"

#include "device/hardware_id.hpp"
#include "support/debug_log.hpp"

namespace tarnwick {

namespace {

std::string PortNameOf(const DeviceProperties& Device) {
  if (Device.PortName) {
    return *Device.PortName;
  }
  if (!Device.ClassGUID || !Device.DriverKey) {
    return {};
  }
  OutputDebugText("ClassGUID=" + *Device.ClassGUID);
  OutputDebugText("Driver=" + *Device.DriverKey);
  return ComPortNameFromDriverKey(*Device.ClassGUID, *Device.DriverKey);
}

} // namespace

std::unique_ptr<SerialDeviceInfo>
DeviceEnumerator::CreateDeviceInfo(const DeviceProperties& Device) {
  if (!Device.HardwareID) {
    return nullptr;
  }
  OutputDebugText("HWID=" + *Device.HardwareID);
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string revision;
  if (!ParseHardwareID(*Device.HardwareID, vendor, product, revision) || vendor != kIGotUVendorID) {
    return nullptr;
  }
  auto info = std::make_unique<SerialDeviceInfo>(vendor, product, revision);
  info->ChunkSize = ChunkSizeForProduct(product);
  info->ComPort = PortNameOf(Device);
  if (Device.Description) {
    info->Name = *Device.Description;
    OutputDebugText("Name=" + info->Name);
  }
  return info;
}

std::unique_ptr<TIGotUDeviceInfoList> DeviceEnumerator::EnumDevices() {
  auto list = std::make_unique<TIGotUDeviceInfoList>();
  bool anyRead = false;
  for (const auto& source : sources_) {
    const auto devices = source->PresentDevices();
    if (!devices) {
      continue;
    }
    anyRead = true;
    for (const auto& device : *devices) {
      if (auto info = CreateDeviceInfo(device)) {
        list->Add(std::move(info));
      }
    }
  }
  if (!anyRead) {
    return nullptr;
  }
  return list;
}

std::unique_ptr<TIgotUPort> DeviceEnumerator::CreatePort(const TIGotUDeviceInfo& Device) {
  const auto* serial = dynamic_cast<const SerialDeviceInfo*>(&Device);
  if (serial == nullptr) {
    throw InvalidCastError("CreatePort: the device record has no serial port");
  }
  auto port = portFactory_(serial->ComPort);
  port->SetUSBDevice(serial->InfoRec);
  port->SetChunkSize(serial->ChunkSize);
  return port;
}

bool DeviceEnumerator::PortExist(const TIgotUPort& Port) {
  const auto* port = dynamic_cast<const ComPort*>(&Port);
  if (port == nullptr) {
    throw InvalidCastError("PortExist: the port is not a serial port");
  }
  if (!port->HasUSBDeviceInfo()) {
    return true;
  }
  const auto list = EnumDevices();
  if (!list) {
    return false;
  }
  for (const auto& info : *list) {
    if (info->InfoRec.IsEqual(port->USBDevice())) {
      return true;
    }
  }
  return false;
}

} // namespace tarnwick
