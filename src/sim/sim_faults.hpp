#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::sim {

/// What the simulated logger can do wrong with one command.
enum class TSimFaultKind {
  NoAnswer, ///< ignores the command: no reply at all
  BadCode,  ///< the reply code is 0x94 instead of 0x93; the data follows
  Negative, ///< announces a negative data count (the logger's recoverable error)
  Short,    ///< announces the full count but sends only half the data
  Stray,    ///< sends a stray line of text before the reply
  Late,     ///< the reply leaves 300 ms late, after the computer's read has given up
  Overlong, ///< announces and sends 16 data bytes more than asked
  Fewer,    ///< announces and sends only half the data asked for
};

/// Number of fault kinds.
inline constexpr int kSimFaultKinds = 8;

/// The name of Kind in a fault specification ("noanswer", "badcode", ...).
std::string_view FaultName(TSimFaultKind Kind);

/// The faults of one simulated run.
struct TSimFaultPlan {
  /// Faults by command number (1 = the first complete command frame the logger receives).
  std::map<int, TSimFaultKind> Scripted;
  /// Chance in 0..1 that a command without a scripted fault gets one of a random kind.
  double RandomRate = 0;
  /// The logger disappears from the bus at the first command after this many point blocks
  /// were sent; empty: never.
  std::optional<int> UnplugAfterBlocks;

  /// Whether nothing at all goes wrong.
  bool Empty() const { return Scripted.empty() && RandomRate <= 0 && !UnplugAfterBlocks; }
};

/// Reads a fault specification: items separated by commas, each KIND@N (that fault on
/// command N), random=RATE (each command faulty with chance RATE, 0..1) or unplug=N (gone
/// after N point blocks). KIND is noanswer, badcode, negative, short, stray, late,
/// overlong or fewer. An empty text means no faults. Raises EConvertError naming the bad item.
TSimFaultPlan ParseFaultSpec(std::string_view Spec);

} // namespace tarnwick::sim
