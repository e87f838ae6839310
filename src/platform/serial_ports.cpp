#include "platform/serial_ports.hpp"

#include "platform/usb_com_port.hpp"

namespace tarnwick {

std::unique_ptr<TIGotUComPort> CreateComPort(const std::string& PortName) {
  return std::make_unique<TIGotUComPort>(std::make_unique<TIGotUUsbComPort>(PortName));
}

std::unique_ptr<TIgotUDevice>
CreateIgotUDevice(std::vector<std::shared_ptr<IDevicePropertySource>> Extra) {
  std::vector<std::shared_ptr<IDevicePropertySource>> sources;
  if (auto system = CreateSystemDeviceSource()) {
    sources.push_back(std::move(system));
  }
  for (auto& s : Extra) {
    sources.push_back(std::move(s));
  }
  return std::make_unique<TIgotUDeviceEnumerator>(std::move(sources), CreateComPort);
}

} // namespace tarnwick
