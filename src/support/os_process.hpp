#pragma once

// The running process and others: numbers, liveness, the program file, and the events that
// end a process from outside (signals on POSIX, console-control events on Windows).

#include "support/os_files.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// A process number: pid_t on POSIX, the DWORD process id on Windows.
using ProcessId = int64_t;

ProcessId CurrentProcessId();

/// False only when process Id certainly does not exist any more; a process of another user
/// that this one may not signal or open counts as alive.
bool IsProcessAlive(ProcessId Id);

/// The full name of the running program file, or empty when the system does not say.
std::string ExecutablePath();

/// What asked the process to end.
enum class EndEvent {
  Interrupt, // SIGINT; Ctrl-C or Ctrl-Break
  Terminate, // SIGTERM
  HangUp,    // SIGHUP; the console window being closed
};

/// Called for each EndEvent. On POSIX it runs as a signal handler, with the other end events
/// held back until it returns, and may only make async-signal-safe calls; on Windows it runs
/// on the console-control thread while the other threads go on. Returning lets the process
/// continue (Windows: except after the console was closed, which ends it once the handler
/// returns); EndByEvent ends it.
using EndHandler = void (*)(EndEvent Event);

/// Installs Handler for the three end events, once per process (later calls change the
/// handler only). An event the process was started with ignored (nohup, a background job of
/// a script) stays ignored. Also makes a file-size limit (SIGXFSZ) show as a failed write
/// instead of ending the process.
void InstallEndHandler(EndHandler Handler);

/// From an EndHandler: restores the default action of Event and ends the process with it,
/// as the shell expects of a process that a signal ended (Windows: exit code
/// STATUS_CONTROL_C_EXIT).
[[noreturn]] void EndByEvent(EndEvent Event);

/// Tells an event loop that something happened, from where nothing else may be done: an
/// EndHandler (a signal handler on POSIX) or another thread. The loop watches Handle(), which
/// turns readable (POSIX: the reading end of a pipe) or signalled (Windows: an event object)
/// once Notify() was called, and calls Clear() when it has taken notice.
class WakeSignal {
 public:
  /// Makes the pipe or event; IsOpen() is false when the system had none to give.
  WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  bool IsOpen() const { return watched_.IsOpen(); }
  /// What the event loop watches.
  FileHandle::Native Handle() const { return watched_.Get(); }
  /// Sets the signal; async-signal-safe, and never blocks (several calls before a Clear()
  /// count as one).
  void Notify() const noexcept;
  /// Takes back every Notify() so far.
  void Clear() const noexcept;

 private:
  FileHandle watched_; // POSIX: the reading end; Windows: the event
  FileHandle writer_;  // POSIX: the writing end
};

} // namespace tarnwick
