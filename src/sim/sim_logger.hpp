#pragma once

#include "device/device_info.hpp"
#include "logger/whole_data.hpp"
#include "sim/sim_faults.hpp"
#include "sim/sim_link.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::sim {

/// What the simulated logger is.
struct SimLoggerOptions {
  /// 0x0900 takes frames in two acknowledged 8-byte halves, 0x0B80 in one 16-byte write.
  uint16_t ProductID = kIGotUProductChunk8;
  /// USB revision text of the device.
  std::string Revision = "0200";
  /// Gap between the text lines of normal mode; 0: silent.
  SimTime NmeaInterval = std::chrono::milliseconds(500);
  /// Timing of the way back to the computer.
  SimLinkOptions Link;
  /// What goes wrong, and when.
  SimFaultPlan Faults;
  /// Seed of the random faults.
  uint64_t Seed = 1;
};

/// The logger's two modes.
enum class SimMode { Normal, Config };

/// One complete command frame as the logger took it.
struct SimCommandRecord {
  /// 1-based number of the command.
  int Number = 0;
  /// The 16 frame bytes.
  std::array<uint8_t, 16> Frame{};
  /// The fault applied to it, if any.
  std::optional<SimFaultKind> Fault;
};

/// Counters of a run; DeliveryTime is what the link needs for the bytes and replies sent.
struct SimStats {
  /// Bytes put on the link, text lines included.
  int64_t BytesSent = 0;
  /// Replies sent, acknowledgements included.
  int64_t Replies = 0;
  /// Complete command frames taken.
  int64_t Commands = 0;
  /// Reads of point memory answered.
  int64_t PointBlocks = 0;
  /// Commands that got a fault.
  int64_t FaultsInjected = 0;
  /// Bytes at the link's rate plus one turnaround per reply.
  SimTime DeliveryTime{0};
};

/// A model of the logger that answers the wire protocol from a memory image: configuration
/// block at 0x0000, point memory from 0x1000 (erased bytes, 0xFF, past the records), mode
/// switches, chunked frames, unsolicited text in normal mode, the link's timing and the
/// planned faults. It runs on the time its caller passes in, so the same model serves a
/// simulated clock and the real one. Not thread-safe.
/// It reads the frames and writes the replies with its own byte handling rather than the
/// program's command and reply classes, so that a test against it checks those classes
/// against an independent reading of the wire format.
class SimLogger {
 public:
  /// A logger in normal mode holding Image.
  SimLogger(const TIGotUWholeData& Image, SimLoggerOptions Options);

  /// Takes bytes the computer wrote at Now; replies are scheduled on the link.
  void Receive(const uint8_t* Data, size_t Count, SimTime Now);
  /// Lets time pass up to Now: the text lines of normal mode that fall due are sent.
  void Advance(SimTime Now);
  /// Bytes that have arrived at the computer's side by Now and not been taken.
  size_t Available(SimTime Now) const;
  /// Moves up to Count arrived bytes into Buffer; the number moved.
  size_t Take(uint8_t* Buffer, size_t Count, SimTime Now);
  /// The earliest time after Now when something happens (more bytes arrive, a text line
  /// falls due); empty when nothing will happen without new input.
  std::optional<SimTime> NextEvent(SimTime Now) const;
  /// True once the logger has gone from the bus (the unplug fault).
  bool Unplugged() const { return unplugged_; }

  /// The mode the logger is in now.
  SimMode Mode() const { return mode_; }
  /// Frame bytes per write that this product expects (8 or 16).
  int ChunkSize() const { return chunkSize_; }
  /// The counters so far.
  const SimStats& Stats() const { return stats_; }
  /// Every complete command so far, in order.
  const std::vector<SimCommandRecord>& Commands() const { return commands_; }

  /// Delay of a late reply unless its fault sets one.
  static constexpr SimTime kLateDelay = std::chrono::milliseconds(300);
  /// Gap between the bytes of a trickled reply unless its fault sets one.
  static constexpr SimTime kTrickleGap = std::chrono::milliseconds(190);

 private:
  static std::vector<uint8_t> Header(int16_t Count, const std::vector<uint8_t>& Data);
  void Send(std::vector<uint8_t> Bytes, SimTime Earliest, bool IsReply);
  void SendHeader(int16_t Count, const std::vector<uint8_t>& Data, SimTime Now, bool IsReply);
  void ParseInput(SimTime Now);
  void HandleFrame(const std::array<uint8_t, 16>& Frame, SimTime Now);
  std::optional<SimFault> NextFault(int Number, const std::array<uint8_t, 16>& Frame);
  void Reply(std::vector<uint8_t> Data, std::optional<SimFault> Fault, SimTime Now);
  uint8_t MemoryByte(uint32_t Addr) const;
  std::vector<uint8_t> NmeaLine(SimTime Now);

  SimLoggerOptions options_;
  int chunkSize_;
  std::array<uint8_t, 3> model_{};
  std::array<uint8_t, 10> ident_{};
  std::array<uint8_t, 3> count_{};
  std::vector<uint8_t> config_;
  std::vector<uint8_t> points_;

  SimMode mode_ = SimMode::Normal;
  bool unplugged_ = false;
  std::vector<uint8_t> input_;
  bool haveHalf_ = false;
  std::array<uint8_t, 8> half_{};
  SimLink link_;
  SimTime nextNmea_{0};
  std::mt19937_64 random_;
  // Commands seen so far that each targeted fault of the plan looks at.
  std::vector<int> targetSeen_;
  SimStats stats_;
  std::vector<SimCommandRecord> commands_;
};

} // namespace tarnwick::sim
