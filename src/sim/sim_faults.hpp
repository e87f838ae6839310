#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::sim {

/// What the simulated logger can do wrong with one command.
enum class SimFaultKind {
  NoAnswer, ///< ignores the command: no reply at all
  BadCode,  ///< the reply code is 0x94 instead of 0x93; the data follows
  Negative, ///< announces a negative data count (the logger's recoverable error)
  Short,    ///< announces the full count but sends only half the data
  Stray,    ///< sends a stray line of text before the reply
  Late,     ///< the reply leaves late (300 ms unless set), after the computer's read gave up
  Overlong, ///< announces and sends 16 data bytes more than asked
  Fewer,    ///< announces and sends only half the data asked for
  Trickle,  ///< sends the header, then the data one byte at a time, 190 ms apart unless set
};

/// Number of fault kinds.
inline constexpr int kSimFaultKinds = 9;
/// The kinds a random fault is drawn from: all but Trickle, which holds the link for minutes.
inline constexpr int kSimRandomFaultKinds = 8;

/// The name of Kind in a fault specification ("noanswer", "badcode", ...).
std::string_view FaultName(SimFaultKind Kind);

/// One planned fault: its kind and, for Late and Trickle, its time (zero: the kind's default).
struct SimFault {
  SimFault() = default;
  /// A fault of Kind with the kind's default time; lets a plan be written as Scripted[n] = Kind.
  SimFault(SimFaultKind Kind) : Kind(Kind) {} // NOLINT(google-explicit-constructor)
  SimFault(SimFaultKind Kind, std::chrono::milliseconds Delay) : Kind(Kind), Delay(Delay) {}

  SimFaultKind Kind = SimFaultKind::NoAnswer;
  /// Late: how late the reply leaves; Trickle: the gap between its bytes.
  std::chrono::milliseconds Delay{0};
};

/// The commands of the logger, as a fault can pick them.
enum class SimCommandKind {
  ModeSwitch,     ///< switch between normal and configuration mode
  Model,          ///< model query
  Identification, ///< identification query
  Count,          ///< record count query
  ConfigRead,     ///< memory read starting below point memory (the configuration block)
  PointRead,      ///< memory read starting in point memory
};

/// Which command a targeted fault hits: the Occurrence-th command of Kind, counting retries,
/// and for a memory read with an Address only reads that start there.
struct SimFaultTarget {
  SimCommandKind Kind = SimCommandKind::ModeSwitch;
  /// Start address of the read; empty: any read of Kind.
  std::optional<uint32_t> Address;
  /// 1 = the first matching command.
  int Occurrence = 1;

  /// Whether a command of CommandKind reading from Addr (ignored for commands that read
  /// nothing) is one this target looks at.
  bool Matches(SimCommandKind CommandKind, uint32_t Addr) const {
    return CommandKind == Kind && (!Address || *Address == Addr);
  }
};

/// A fault for the command a target picks.
struct SimTargetedFault {
  SimFaultTarget Target;
  SimFault Fault;
};

/// The faults of one simulated run.
struct SimFaultPlan {
  /// Faults by command number (1 = the first complete command frame the logger receives).
  std::map<int, SimFault> Scripted;
  /// Faults by command kind or read address; a command with a fault by number keeps that one,
  /// otherwise the first entry that picks it applies.
  std::vector<SimTargetedFault> Targeted;
  /// Chance in 0..1 that a command without a scripted fault gets one of a random kind.
  double RandomRate = 0;
  /// The logger disappears from the bus at the first command after this many point blocks
  /// were sent; empty: never.
  std::optional<int> UnplugAfterBlocks;

  /// Whether nothing at all goes wrong.
  bool Empty() const {
    return Scripted.empty() && Targeted.empty() && RandomRate <= 0 && !UnplugAfterBlocks;
  }
};

/// Reads a fault specification: items separated by commas, each KIND@WHERE, late:MS@WHERE or
/// trickle:MS@WHERE (with its time in milliseconds, 1 to 60000), random=RATE (each command
/// faulty with chance RATE, 0..1) or unplug=N (gone after N point blocks). KIND is noanswer,
/// badcode, negative, short, stray, late, overlong, fewer or trickle. WHERE is a command
/// number N, or a command: mode, model, ident, count, config (the configuration read), read
/// (any point-memory read) or read=ADDR (the read starting at ADDR, 0x hexadecimal or
/// decimal), optionally followed by #K for its K-th occurrence (default the first). An empty
/// text means no faults. Raises ConvertError naming the bad item.
SimFaultPlan ParseFaultSpec(std::string_view Spec);

} // namespace tarnwick::sim
