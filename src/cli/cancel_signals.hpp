#pragma once

#include <csignal>

namespace tarnwick::cli {

/// While it lives, Ctrl-C (and SIGTERM) asks the running job to stop at its next progress
/// report instead of ending the process, so that nothing half-done is left behind; a second
/// Ctrl-C ends the process at once. One at a time.
class TCancelSignals {
 public:
  /// Message is written to standard error at the first signal; it must live as long as this.
  explicit TCancelSignals(const char* Message);
  ~TCancelSignals();
  TCancelSignals(const TCancelSignals&) = delete;
  TCancelSignals& operator=(const TCancelSignals&) = delete;

  /// Whether a cancel was asked for since the newest TCancelSignals was made.
  static bool Requested();

 private:
  struct sigaction FOldInt {};
  struct sigaction FOldTerm {};
};

} // namespace tarnwick::cli
