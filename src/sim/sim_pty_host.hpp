#pragma once

#include "sim/sim_logger.hpp"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace tarnwick::sim {

/// A simulated logger behind a pseudo-terminal: the serial-port code opens SlavePath() as it
/// would open /dev/ttyACM0, and a thread of this host answers on the master side on the real
/// clock. The host keeps a descriptor of the slave side itself, in raw mode, so that the
/// terminal keeps its settings and no echo reaches the logger between the computer's opens.
class TSimPtyHost {
 public:
  /// Creates the pseudo-terminal and the logger; raises Error when the system has no
  /// pseudo-terminal to give. Serving starts with Start().
  TSimPtyHost(const TIGotUWholeData& Image, TSimLoggerOptions Options);
  /// Stops serving and closes the terminal.
  ~TSimPtyHost();
  TSimPtyHost(const TSimPtyHost&) = delete;
  TSimPtyHost& operator=(const TSimPtyHost&) = delete;

  /// The path the computer opens (/dev/pts/N).
  const std::string& SlavePath() const { return FSlavePath; }
  /// Starts the serving thread.
  void Start();
  /// Stops the thread and closes the terminal (the computer's side sees a hang-up). Idempotent.
  void Stop();
  /// True once the logger unplugged itself (the unplug fault) and the terminal is gone.
  bool Unplugged() const { return FUnplugged.load(); }
  /// A snapshot of the logger's counters.
  TSimStats Stats() const;

 private:
  void Serve();
  void CloseTerminal();

  TSimLogger FLogger;
  mutable std::mutex FLock;
  std::string FSlavePath;
  int FMaster = -1;
  int FSlave = -1;
  int FWakeRead = -1;
  int FWakeWrite = -1;
  std::thread FThread;
  std::atomic<bool> FUnplugged{false};
};

} // namespace tarnwick::sim
