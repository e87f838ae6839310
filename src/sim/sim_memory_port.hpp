#pragma once

#include "device/port.hpp"
#include "device/protocol.hpp"
#include "sim/sim_logger.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::sim {

/// A port wired straight to a simulated logger, on a simulated clock: reads end by the serial
/// port's rules (count reached, 10 ms after the last byte, 200 ms in all) but take no real
/// time, and the engine's pauses move the clock through Sleeper(). For fast, repeatable tests.
class SimMemoryPort : public TIgotUPort {
 public:
  /// A closed port to a new logger holding Image; chunk size as the logger's product wants.
  SimMemoryPort(const TIGotUWholeData& Image, SimLoggerOptions Options);

  void Open() override;
  void Close() override;
  /// Discards what has arrived; bytes still on their way keep coming.
  void ClearBuffer() override;
  std::string Description() const override { return "simulated logger"; }

  /// The logger behind the port.
  SimLogger& Logger() { return logger_; }
  /// The simulated time now.
  SimTime Now() const { return now_; }
  /// Moves the simulated clock on by Time.
  void Sleep(std::chrono::milliseconds Time);
  /// A sleeper for TIGotUProtocol::SetSleeper that moves this port's clock.
  TIGotUProtocol::Sleeper Sleeper() {
    return [this](std::chrono::milliseconds t) { Sleep(t); };
  }
  /// A clock for TIGotUProtocol::SetClock that reads this port's simulated time.
  TIGotUProtocol::Clock Clock() const {
    return [this] { return now_; };
  }
  /// Whether the port is open.
  bool IsOpen() const { return open_; }
  /// Number of Open and Close calls that changed the state.
  int Opens() const { return opens_; }
  int Closes() const { return closes_; }
  /// Every write, in order.
  const std::vector<std::vector<uint8_t>>& Writes() const { return writes_; }

 protected:
  int DoRead(uint8_t* Buffer, int Count) override;
  int DoReadPending(uint8_t* Buffer, int Count) override;
  int DoWrite(const uint8_t* Buffer, int Count) override;

 private:
  void Require(const char* What) const;

  SimLogger logger_;
  SimTime now_{0};
  bool open_ = false;
  int opens_ = 0;
  int closes_ = 0;
  std::vector<std::vector<uint8_t>> writes_;
};

} // namespace tarnwick::sim
