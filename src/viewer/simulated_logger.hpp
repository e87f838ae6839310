#pragma once

#include <memory>
#include <string>

namespace tarnwick {
class TIGotUWholeData;
namespace sim {
class SimPtyHost;
class SimRegistration;
} // namespace sim
} // namespace tarnwick

namespace tarnwick::viewer {

/// A simulated logger for trying the viewer without hardware: served on a pseudo-terminal and
/// announced like the command line's "simulate", so that the viewer's device scan finds it
/// like a USB logger. Stops and withdraws when destroyed.
class SimulatedLogger {
 public:
  /// Serves the saved image Base, or a generated GT-900 sample image when Base is empty.
  /// Raises Error when the image cannot be loaded or no pseudo-terminal is available.
  explicit SimulatedLogger(const std::string& Base);
  ~SimulatedLogger();
  SimulatedLogger(const SimulatedLogger&) = delete;
  SimulatedLogger& operator=(const SimulatedLogger&) = delete;

  const std::string& PortName() const;

 private:
  std::unique_ptr<TIGotUWholeData> image_;
  std::unique_ptr<sim::SimPtyHost> host_;
  std::unique_ptr<sim::SimRegistration> registration_;
};

} // namespace tarnwick::viewer
