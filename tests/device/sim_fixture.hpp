#pragma once

#include "common/memory_image.hpp"
#include "device/control.hpp"
#include "device/debug_msg_intf.hpp"
#include "device/device_test_util.hpp"
#include "device/protocol.hpp"
#include "sim/sim_memory_port.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarnwick::test {

/// Collects status texts.
class MessageSink : public IIGotUDebugMsgIntf {
 public:
  void IGotUDebugMessage(const std::string& Msg) override { Lines.push_back(Msg); }
  std::vector<std::string> Lines;
};

/// A control over the engine over an in-memory simulated logger.
struct SimRig {
  explicit SimRig(const TIGotUWholeData& Image, sim::SimLoggerOptions Options = {})
      : Port(Image, std::move(Options)) {
    Port.SetDebugLog(&Trace.Log);
    Protocol.SetPort(&Port);
    Protocol.SetSleeper(Port.Sleeper());
    Protocol.SetClock(Port.Clock());
    Control.SetDebugMsgIntf(Messages);
    Control.SetProgress(Progress);
    Port.Open();
  }
  /// Addresses of the memory reads the logger answered, in order.
  std::vector<uint32_t> ReadAddresses() {
    std::vector<uint32_t> addrs;
    for (const auto& c : Port.Logger().Commands()) {
      if (c.Frame[1] == 0x05 && c.Frame[2] == 0x07 && !c.Fault) {
        addrs.push_back(static_cast<uint32_t>(c.Frame[7]) << 16 | c.Frame[8] << 8 | c.Frame[9]);
      }
    }
    return addrs;
  }

  TraceLog Trace;
  sim::SimMemoryPort Port;
  TIGotUProtocol Protocol;
  TIGotUControl Control{Protocol};
  std::shared_ptr<MessageSink> Messages = std::make_shared<MessageSink>();
  std::shared_ptr<RecordingProgress> Progress = std::make_shared<RecordingProgress>();
};

} // namespace tarnwick::test
