// The simulated logger fed whatever a program on its pseudo-terminal might write, and its
// fault specification parser fed any text.
//
// Input: byte 0 picks the chunk size (bit 0) and whether the rest is a fault specification
// (bit 1); otherwise the rest is written to the logger in pieces of 1 to 32 bytes.
#include "device/device_info.hpp"
#include "logger/point_records.hpp"
#include "logger/slot_blocks.hpp"
#include "logger/whole_data.hpp"
#include "sim/sim_faults.hpp"
#include "sim/sim_logger.hpp"
#include "support/errors.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  using namespace tarnwick::sim;
  if (size < 1) {
    return 0;
  }
  if ((data[0] & 2) != 0) {
    try {
      ParseFaultSpec(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } catch (const ConvertError&) {
    }
    return 0;
  }
  static const TIGotUWholeData image = [] {
    TIGotUWholeData w;
    w.Status.FCount.Data = {0, 0, 200};
    w.ConfigBlock().assign(kBlockSize, 0x5A);
    auto blocks = std::make_unique<TIGotUSlotBlocks>(200, kSlotSize);
    std::fill_n(blocks->DataBuffer(), blocks->NumberOfBytes(), 0x11);
    w.SetBlocks(std::move(blocks));
    return w;
  }();
  SimLoggerOptions options;
  options.ProductID = (data[0] & 1) != 0 ? kIGotUProductChunk16 : kIGotUProductChunk8;
  options.Faults.RandomRate = 0.2;
  options.Faults.UnplugAfterBlocks = 50;
  options.Faults.Scripted[3] = SimFault(SimFaultKind::Late, std::chrono::milliseconds(650));
  options.Faults.Scripted[6] = SimFault(SimFaultKind::Trickle, std::chrono::milliseconds(2));
  options.Faults.Targeted.push_back(
      {{SimCommandKind::PointRead, std::nullopt, 2}, SimFaultKind::Short});
  options.Faults.Targeted.push_back(
      {{SimCommandKind::Model, std::nullopt, 1}, SimFaultKind::Stray});
  SimLogger logger(image, options);
  std::vector<uint8_t> out(70000);
  SimTime now{0};
  size_t pos = 1;
  while (pos < size) {
    const size_t n = std::min<size_t>(size - pos, 1 + data[pos] % 32);
    logger.Receive(data + pos, n, now);
    pos += n;
    now += std::chrono::milliseconds(3);
    logger.Advance(now);
    logger.Take(out.data(), out.size(), now);
  }
  // Everything sent must arrive in finite time.
  for (int i = 0; i < 100000; ++i) {
    const auto next = logger.NextEvent(now);
    if (!next || logger.Mode() == SimMode::Normal) {
      break;
    }
    now = *next;
    logger.Take(out.data(), out.size(), now);
  }
  return 0;
}
