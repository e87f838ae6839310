#pragma once

#include "device/device.hpp"
#include "device/protocol.hpp"
#include "sim/sim_memory_port.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::test {

/// An enumerator of in-memory simulated loggers that a test plugs in and out. Its ports run
/// on the simulated clock: each port made here takes over the sleeper and clock of Protocol
/// when one is set, so a download takes no real time.
class FakeDevice : public TIgotUDevice {
 public:
  struct Logger {
    std::string Name;
    const TIGotUWholeData* Image = nullptr; ///< not owned; must outlive the ports
    sim::SimLoggerOptions Options;
  };

  /// Plugs in a logger; returns its number for Unplug.
  int Plug(Logger L) {
    loggers_[next_] = std::move(L);
    return next_++;
  }
  void Unplug(int Number) { loggers_.erase(Number); }
  /// Makes the next EnumDevices fail to start (null list).
  bool Broken = false;
  /// The engine whose sleeper and clock the ports take over.
  TIGotUProtocol* Protocol = nullptr;
  /// The last port made.
  sim::SimMemoryPort* LastPort = nullptr;
  int Enumerations = 0;

  std::unique_ptr<TIGotUDeviceInfoList> EnumDevices() override {
    ++Enumerations;
    if (Broken) {
      return nullptr;
    }
    auto list = std::make_unique<TIGotUDeviceInfoList>();
    for (const auto& [number, logger] : loggers_) {
      auto info = std::make_unique<SerialDeviceInfo>(kIGotUVendorID, logger.Options.ProductID,
                                                     logger.Options.Revision);
      info->Name = logger.Name;
      info->ChunkSize = ChunkSizeForProduct(logger.Options.ProductID);
      info->ComPort = "/dev/fake" + std::to_string(number);
      list->Add(std::move(info));
    }
    return list;
  }

  std::unique_ptr<TIgotUPort> CreatePort(const TIGotUDeviceInfo& Device) override {
    const auto& serial = dynamic_cast<const SerialDeviceInfo&>(Device);
    const int number = std::stoi(serial.ComPort.substr(9));
    const Logger& logger = loggers_.at(number);
    auto port = std::make_unique<sim::SimMemoryPort>(*logger.Image, logger.Options);
    if (Protocol != nullptr) {
      Protocol->SetSleeper(port->Sleeper());
      Protocol->SetClock(port->Clock());
    }
    LastPort = port.get();
    ports_[port.get()] = number;
    return port;
  }

  bool PortExist(const TIgotUPort& Port) override {
    const auto it = ports_.find(&Port);
    return it == ports_.end() || loggers_.count(it->second) != 0;
  }

 private:
  std::map<int, Logger> loggers_;
  std::map<const TIgotUPort*, int> ports_;
  int next_ = 0;
};

} // namespace tarnwick::test
