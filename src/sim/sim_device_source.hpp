#pragma once

#include "device/device.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::sim {

/// The folder where running simulated loggers announce themselves: TARNWICK_SIM_DIR when
/// set, else tarnwick-sim in XDG_RUNTIME_DIR, else a folder of the user's own in the temporary
/// folder (tarnwick-sim-UID; tarnwick-sim on Windows, whose temporary folder is the user's).
std::string SimRegistryFolder();

/// Announces one running simulated logger in the registry folder (one small INI file named
/// after the process) until destroyed, so that SimDeviceSource lists it.
class SimRegistration {
 public:
  /// Writes the entry: the port, the USB identity and the description. Raises Error when
  /// the folder is not a private folder of this user or the file cannot be written.
  SimRegistration(const std::string& PortName, uint16_t ProductID, const std::string& Revision,
                  const std::string& Description, const std::string& Folder = SimRegistryFolder());
  /// Removes the entry.
  ~SimRegistration();
  SimRegistration(const SimRegistration&) = delete;
  SimRegistration& operator=(const SimRegistration&) = delete;

  /// Removes the entry now (the logger went away); idempotent.
  void Remove();
  /// The entry's file.
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  bool removed_ = false;
};

/// Lists the simulated loggers announced in the registry folder as USB devices of the
/// logger's vendor whose port is the simulator's pseudo-terminal. Entries of processes that
/// are gone are removed; a folder that is missing lists nothing, and one that is not private
/// to this user is not trusted and lists nothing either.
class SimDeviceSource : public DevicePropertySource {
 public:
  /// A source over the entries in Folder.
  explicit SimDeviceSource(std::string Folder = SimRegistryFolder()) : folder_(std::move(Folder)) {}

  std::optional<std::vector<DeviceProperties>> PresentDevices() override;

 private:
  std::string folder_;
};

} // namespace tarnwick::sim
