#pragma once

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

/// An image of Points records whose bytes all differ from their neighbours.
inline TIGotUWholeData PatternImage(int Points, uint8_t ModelType = 0x15) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0x00, 0x01, ModelType};
  image.Status.FIdent.Data = {0x78, 0x56, 0x34, 0x12, 1, 5, 0x00, 0x78, 0x01, 0x02};
  image.Status.FCount.Data = {0x00, static_cast<uint8_t>(Points >> 8),
                              static_cast<uint8_t>(Points & 0xFF)};
  image.ConfigBlock().resize(4096);
  for (size_t i = 0; i < 4096; ++i) {
    image.ConfigBlock()[i] = static_cast<uint8_t>(i * 13 + 1);
  }
  auto blocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Points), 32);
  for (uint32_t i = 0; i < blocks->NumberOfBytes(); ++i) {
    blocks->DataBuffer()[i] = static_cast<uint8_t>(i * 31 + i / 4096);
  }
  image.SetBlocks(std::move(blocks));
  return image;
}

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

/// Expects Got to hold the same status, configuration block and records as Want.
inline void ExpectSameImage(const TIGotUWholeData& Got, const TIGotUWholeData& Want) {
  EXPECT_EQ(Got.Status.FModel.Data, Want.Status.FModel.Data);
  EXPECT_EQ(Got.Status.FIdent.Data, Want.Status.FIdent.Data);
  EXPECT_EQ(Got.Status.FCount.Data, Want.Status.FCount.Data);
  ASSERT_EQ(Got.ConfigLength(), 4096);
  EXPECT_TRUE(std::equal(Got.ConfigBlockPtr(), Got.ConfigBlockPtr() + 4096, Want.ConfigBlockPtr()));
  ASSERT_NE(Got.Blocks(), nullptr);
  ASSERT_EQ(Got.Blocks()->NumberOfBytes(), Want.Blocks()->NumberOfBytes());
  EXPECT_TRUE(std::equal(Got.Blocks()->DataBuffer(),
                         Got.Blocks()->DataBuffer() + Got.Blocks()->NumberOfBytes(),
                         Want.Blocks()->DataBuffer()));
}

} // namespace tarnwick::test
