#pragma once

namespace tarnwick::cli {

/// Makes the signals that end the program leave no temporary files behind: SIGINT, SIGTERM
/// and SIGHUP (on Windows Ctrl-C, Ctrl-Break and closing the console) remove them
/// (RemoveTemporaryFiles) before the program ends with the signal, and SIGXFSZ is ignored, so
/// that a file-size limit shows as a write error that is reported and cleaned up. For the
/// commands that write files; calling it again does nothing.
void InstallFileSignalHandlers();

/// While it lives, the first SIGINT, SIGTERM or SIGHUP asks the running job to stop at its
/// next progress report instead of ending the process, so that nothing half-done is left
/// behind; a second one ends the process at once, removing the temporary files. One at a
/// time. Installs the handlers of InstallFileSignalHandlers.
class CancelSignals {
 public:
  /// Message is written to standard error at the first signal; it must live as long as this.
  explicit CancelSignals(const char* Message);
  ~CancelSignals();
  CancelSignals(const CancelSignals&) = delete;
  CancelSignals& operator=(const CancelSignals&) = delete;

  /// Whether a cancel was asked for since the newest CancelSignals was made.
  static bool Requested();
};

} // namespace tarnwick::cli
