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
class SimPtyHost {
 public:
  /// Creates the pseudo-terminal and the logger; raises Error when the system has no
  /// pseudo-terminal to give. Serving starts with Start().
  SimPtyHost(const TIGotUWholeData& Image, SimLoggerOptions Options);
  /// Stops serving and closes the terminal.
  ~SimPtyHost();
  SimPtyHost(const SimPtyHost&) = delete;
  SimPtyHost& operator=(const SimPtyHost&) = delete;

  /// The path the computer opens (/dev/pts/N).
  const std::string& SlavePath() const { return slavePath_; }
  /// Starts the serving thread.
  void Start();
  /// Stops the thread and closes the terminal (the computer's side sees a hang-up). Idempotent.
  void Stop();
  /// True once the logger unplugged itself (the unplug fault) and the terminal is gone.
  bool Unplugged() const { return unplugged_.load(); }
  /// A snapshot of the logger's counters.
  SimStats Stats() const;

 private:
  void Serve();
  void CloseTerminal();

  SimLogger logger_;
  mutable std::mutex lock_;
  std::string slavePath_;
  int master_ = -1;
  int slave_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread thread_;
  std::atomic<bool> unplugged_{false};
};

} // namespace tarnwick::sim
