#pragma once

#include "device/device_info.hpp"
#include "logger/whole_data.hpp"
#include "sim/sim_faults.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::sim {

/// Time since the simulated logger started.
using TSimTime = std::chrono::microseconds;

/// How bytes travel from the logger to the computer: in packets of PacketSize bytes at
/// BytesPerSecond, each reply leaving Turnaround after the command that asked for it.
struct TSimLink {
  /// Bytes that arrive together (a USB full-speed bulk packet).
  int PacketSize = 64;
  /// 0: as fast as the transport takes them.
  int64_t BytesPerSecond = 128 * 1024;
  /// Pause between a command and the first byte of its reply.
  TSimTime Turnaround = std::chrono::milliseconds(2);
};

/// What the simulated logger is.
struct TSimLoggerOptions {
  /// 0x0900 takes frames in two acknowledged 8-byte halves, 0x0B80 in one 16-byte write.
  uint16_t ProductID = kIGotUProductChunk8;
  /// USB revision text of the device.
  std::string Revision = "0200";
  /// Gap between the text lines of normal mode; 0: silent.
  TSimTime NmeaInterval = std::chrono::milliseconds(500);
  /// Timing of the way back to the computer.
  TSimLink Link;
  /// What goes wrong, and when.
  TSimFaultPlan Faults;
  /// Seed of the random faults.
  uint64_t Seed = 1;
};

/// The logger's two modes.
enum class TSimMode { Normal, Config };

/// One complete command frame as the logger took it.
struct TSimCommandRecord {
  /// 1-based number of the command.
  int Number = 0;
  /// The 16 frame bytes.
  std::array<uint8_t, 16> Frame{};
  /// The fault applied to it, if any.
  std::optional<TSimFaultKind> Fault;
};

/// Counters of a run; DeliveryTime is what the link needs for the bytes and replies sent.
struct TSimStats {
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
  TSimTime DeliveryTime{0};
};

/// A model of the logger that answers the wire protocol from a memory image: configuration
/// block at 0x0000, point memory from 0x1000 (erased bytes, 0xFF, past the records), mode
/// switches, chunked frames, unsolicited text in normal mode, the link's timing and the
/// planned faults. It runs on the time its caller passes in, so the same model serves a
/// simulated clock and the real one. Not thread-safe.
/// It reads the frames and writes the replies with its own byte handling rather than the
/// program's command and reply classes, so that a test against it checks those classes
/// against an independent reading of the wire format.
class TSimLogger {
 public:
  /// A logger in normal mode holding Image.
  TSimLogger(const TIGotUWholeData& Image, TSimLoggerOptions Options);

  /// Takes bytes the computer wrote at Now; replies are scheduled on the link.
  void Receive(const uint8_t* Data, size_t Count, TSimTime Now);
  /// Lets time pass up to Now: the text lines of normal mode that fall due are sent.
  void Advance(TSimTime Now);
  /// Bytes that have arrived at the computer's side by Now and not been taken.
  size_t Available(TSimTime Now) const;
  /// Moves up to Count arrived bytes into Buffer; the number moved.
  size_t Take(uint8_t* Buffer, size_t Count, TSimTime Now);
  /// The earliest time after Now when something happens (more bytes arrive, a text line
  /// falls due); empty when nothing will happen without new input.
  std::optional<TSimTime> NextEvent(TSimTime Now) const;
  /// True once the logger has gone from the bus (the unplug fault).
  bool Unplugged() const { return FUnplugged; }

  /// The mode the logger is in now.
  TSimMode Mode() const { return FMode; }
  /// Frame bytes per write that this product expects (8 or 16).
  int ChunkSize() const { return FChunkSize; }
  /// The counters so far.
  const TSimStats& Stats() const { return FStats; }
  /// Every complete command so far, in order.
  const std::vector<TSimCommandRecord>& Commands() const { return FCommands; }

  /// Delay of a late reply unless its fault sets one.
  static constexpr TSimTime kLateDelay = std::chrono::milliseconds(300);
  /// Gap between the bytes of a trickled reply unless its fault sets one.
  static constexpr TSimTime kTrickleGap = std::chrono::milliseconds(190);

 private:
  struct TSegment {
    std::vector<uint8_t> Bytes;
    TSimTime Start{0};
    size_t Taken = 0;
  };

  size_t Arrived(const TSegment& Segment, TSimTime Now) const;
  TSimTime Duration(size_t Bytes) const;
  void Send(std::vector<uint8_t> Bytes, TSimTime Earliest, bool IsReply);
  void SendHeader(int16_t Count, std::vector<uint8_t> Data, TSimTime Now, bool IsReply);
  void ParseInput(TSimTime Now);
  void HandleFrame(const std::array<uint8_t, 16>& Frame, TSimTime Now);
  std::optional<SimFault> NextFault(int Number);
  void Reply(std::vector<uint8_t> Data, std::optional<SimFault> Fault, TSimTime Now);
  uint8_t MemoryByte(uint32_t Addr) const;
  std::vector<uint8_t> NmeaLine(TSimTime Now);

  TSimLoggerOptions FOptions;
  int FChunkSize;
  std::array<uint8_t, 3> FModel{};
  std::array<uint8_t, 10> FIdent{};
  std::array<uint8_t, 3> FCount{};
  std::vector<uint8_t> FConfig;
  std::vector<uint8_t> FPoints;

  TSimMode FMode = TSimMode::Normal;
  bool FUnplugged = false;
  std::vector<uint8_t> FInput;
  bool FHaveHalf = false;
  std::array<uint8_t, 8> FHalf{};
  std::deque<TSegment> FOutput;
  TSimTime FLinkFree{0};
  TSimTime FNextNmea{0};
  std::mt19937_64 FRandom;
  TSimStats FStats;
  std::vector<TSimCommandRecord> FCommands;
};

} // namespace tarnwick::sim
