#include "platform/serial_ports.hpp"

#include "platform/usb_com_port.hpp"

namespace tarnwick {

std::unique_ptr<ComPort> CreateComPort(const std::string& PortName) {
  return std::make_unique<ComPort>(std::make_unique<TIGotUUsbComPort>(PortName));
}

std::unique_ptr<TIgotUDevice>
CreateIgotUDevice(std::vector<std::shared_ptr<DevicePropertySource>> Extra) {
  std::vector<std::shared_ptr<DevicePropertySource>> sources;
  if (auto system = CreateSystemDeviceSource()) {
    sources.push_back(std::move(system));
  }
  for (auto& s : Extra) {
    sources.push_back(std::move(s));
  }
  return std::make_unique<DeviceEnumerator>(std::move(sources), CreateComPort);
}

} // namespace tarnwick
