#pragma once

#include "device/command.hpp"
#include "device/command_reply.hpp"
#include "device/port.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnwick {

/// Labels of the engine's traces: byte-level steps and command-level messages. Every engine
/// trace line is logged with level 1 whatever its label.
enum class TIGotUProtocolDebugLevel { dlLow, dlCommand };

/// Runs one command transaction at a time over a port: drain stale input, write the frame in
/// one or two chunks (with an acknowledgement between halves), read the reply header and the
/// announced data, let the command parse the reply; repeat the whole transaction after any
/// failure. The port is bound, opened and closed by others and must outlive every call.
class TIGotUProtocol {
 public:
  /// How the engine waits; tests on a simulated clock replace it.
  using Sleeper = std::function<void(std::chrono::milliseconds)>;
  /// A monotonic clock for the engine's deadlines; tests on a simulated clock replace it.
  using Clock = std::function<std::chrono::microseconds()>;

  /// The longest the engine gives a reply, from the frame's last byte written to the reply's
  /// last byte read: several times what a slow link (16 KiB/s) needs for a 4 KiB block.
  /// A reply that takes longer fails its attempt.
  static constexpr std::chrono::milliseconds kReplyDeadline{2000};

  /// No port, ReadRetryCount 5, CommandRetryCount 8, fast drain, real sleeps and clock.
  TIGotUProtocol();

  /// The bound port, not owned; null before one is bound.
  TIgotUPort* Port() const { return FPort; }
  void SetPort(TIgotUPort* Value) { FPort = Value; }
  /// Attempts per partial read of reply data (default 5).
  int ReadRetryCount() const { return FReadRetryCount; }
  void SetReadRetryCount(int Value) { FReadRetryCount = Value; }
  /// Attempts per command transaction (default 8).
  int CommandRetryCount() const { return FCommandRetryCount; }
  void SetCommandRetryCount(int Value) { FCommandRetryCount = Value; }
  /// True (default): before a command, drain only what has already arrived. False: wait for
  /// the read time-out there too. The drain before a retry and PreRead always wait.
  bool FastDrain() const { return fastDrain_; }
  void SetFastDrain(bool Value) { fastDrain_ = Value; }
  /// Replaces how the engine waits (default: the calling thread sleeps).
  void SetSleeper(Sleeper Sleeper) { sleeper_ = std::move(Sleeper); }
  /// Replaces the engine's clock (default: the steady clock).
  void SetClock(Clock Now) { clockNow_ = std::move(Now); }
  /// Whether a reply to an earlier frame may still be on its way, so that the next command
  /// that reads a result first waits for the line to go quiet (see SendCommand).
  bool SettlePending() const { return settlePending_; }

  /// Writes Msg to the port's debug log at level 1; nothing without a port or log.
  void DebugMessage(TIGotUProtocolDebugLevel Level, const std::string& Msg);
  /// Msg, then " [" and "XX " for each of the Size bytes, then "]".
  void DebugMessageWithBuffer(TIGotUProtocolDebugLevel Level, const std::string& Msg, int Size,
                              const uint8_t* Buffer);

  /// Runs Cmd with up to CommandRetryCount attempts; the read command's data goes to Ptr,
  /// which holds PtrSize bytes. True when an attempt succeeded and the command parsed its
  /// reply; false after all attempts failed (the command's result keeps its old content).
  /// Errors inside an attempt are caught; a transport error while draining for a retry
  /// passes to the caller. Time: each failed attempt costs at least 400 ms (a header read
  /// time-out and the retry pause). After a command with a failed attempt, the next command
  /// whose result is read first waits until the line has been quiet for longer than
  /// kReplyDeadline (see SettleLine); EIGotUError when it does not go quiet.
  bool SendCommand(TIGotUCommand& Cmd, uint8_t* Ptr = nullptr, size_t PtrSize = 0);
  /// One raw exchange without retry and without ParseReply: drain, write the frame, read the
  /// reply. False for a reply that failed a check; errors pass to the caller.
  bool DoCommunication(TIGotUCommand& Cmd, TIGotUCommandReply& Reply);
  /// Drains the logger's unsolicited output before a download: 16 reads of up to 16 bytes,
  /// each followed by a 100 ms pause (up to 4.8 s with a silent logger). Always true; port
  /// errors pass to the caller.
  bool PreRead();
  /// Drains with the read time-out, purges both buffers and pauses 200 ms.
  void ClearForRetry();
  /// Reads and drops everything the logger sends until the line has been quiet for longer
  /// than kReplyDeadline, then purges and clears SettlePending. Raises EIGotUError when the
  /// line is still busy after (CommandRetryCount + 1) x kReplyDeadline; port errors pass.
  void SettleLine();

 private:
  TIgotUPort& RequirePort() const;
  void Wait(std::chrono::milliseconds Time);
  void ClearPortBuffer(bool Timed);
  void WriteChunk(const uint8_t* Buffer, int Count);
  bool ReadReplyHeader(RIGotUCommandReplyHeader& Header);
  bool ReadAck();
  int ReadRemain(uint8_t* Buffer, int Count);
  bool ReadReply(TIGotUCommandReply& Reply);
  std::chrono::microseconds Now() const { return clockNow_(); }
  bool Transact(TIGotUCommand& Cmd, uint8_t* Ptr, size_t PtrSize);

  TIgotUPort* FPort = nullptr;
  int FReadRetryCount = 5;
  int FCommandRetryCount = 8;
  bool fastDrain_ = true;
  Sleeper sleeper_;
  Clock clockNow_;
  bool settlePending_ = false;
};

} // namespace tarnwick
