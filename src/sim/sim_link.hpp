#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace tarnwick::sim {

/// Time since the simulated logger started.
using SimTime = std::chrono::microseconds;

/// How bytes travel from the logger to the computer: in packets of PacketSize bytes at
/// BytesPerSecond, each reply leaving Turnaround after the command that asked for it.
struct SimLinkOptions {
  /// Bytes that arrive together (a USB full-speed bulk packet).
  int PacketSize = 64;
  /// 0: as fast as the transport takes them.
  int64_t BytesPerSecond = int64_t{128} * 1024;
  /// Pause between a command and the first byte of its reply.
  SimTime Turnaround = std::chrono::milliseconds(2);
};

/// The way from the logger to the computer: pieces of output queue one behind the other, each
/// leaving when the link is free, and reach the computer a whole packet at a time at the
/// link's rate. Runs on the time its caller passes in. Not thread-safe.
class SimLink {
 public:
  /// A free, empty link; a packet size below 1 counts as 1.
  explicit SimLink(const SimLinkOptions& Options);

  /// The link's settings.
  const SimLinkOptions& Options() const { return options_; }
  /// Queues Bytes to leave at Earliest, or once the bytes before them have left; the time
  /// they hold the link.
  SimTime Send(std::vector<uint8_t> Bytes, SimTime Earliest);
  /// When the bytes queued so far will all have left.
  SimTime FreeAt() const { return freeAt_; }
  /// The time BytesCount bytes hold the link at its rate (rounded up to whole microseconds).
  SimTime Duration(size_t BytesCount) const;

  /// Bytes that have reached the computer by Now and not been taken.
  size_t Available(SimTime Now) const;
  /// Moves up to Count arrived bytes into Buffer; the number moved.
  size_t Take(uint8_t* Buffer, size_t Count, SimTime Now);
  /// When the next packet after Now arrives (never earlier than Now plus one microsecond);
  /// empty when everything queued has arrived.
  std::optional<SimTime> NextArrival(SimTime Now) const;
  /// Bytes queued and not yet taken, whether they have arrived or not.
  size_t Pending() const;
  /// Drops everything queued, as when the logger leaves the bus.
  void Clear() { segments_.clear(); }

 private:
  struct Segment {
    std::vector<uint8_t> Bytes;
    SimTime Start{0};
    size_t Taken = 0;
  };

  size_t Arrived(const Segment& S, SimTime Now) const;

  SimLinkOptions options_;
  std::deque<Segment> segments_;
  SimTime freeAt_{0};
};

} // namespace tarnwick::sim
