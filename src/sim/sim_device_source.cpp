#include "sim/sim_device_source.hpp"

#include "device/device_info.hpp"
#include "device/hardware_id.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/ini_file.hpp"
#include "support/os_files.hpp"
#include "support/os_process.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cstdlib>

namespace tarnwick::sim {

namespace {

constexpr const char* kSection = "Logger";

} // namespace

std::string SimRegistryFolder() {
  if (const char* dir = std::getenv("TARNWICK_SIM_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && *run != '\0') {
    return std::string(run) + "/tarnwick-sim";
  }
  return PrivateTemporaryFolder("tarnwick-sim");
}

SimRegistration::SimRegistration(const std::string& PortName, uint16_t ProductID,
                                 const std::string& Revision, const std::string& Description,
                                 const std::string& Folder) {
  // Entries name device paths that the download opens, so nobody else may write them.
  if (const auto error = CreatePrivateFolder(Folder)) {
    throw FileError::Create(Folder, error);
  }
  if (CheckPrivateFolder(Folder)) {
    throw Error("The folder " + Folder +
                " for simulated loggers must be a folder of this user that nobody else can "
                "read or write");
  }
  fileName_ = Folder + "/" + std::to_string(CurrentProcessId()) + ".ini";
  IniFile ini;
  ini.WriteString(kSection, "Port", PortName);
  ini.WriteString(kSection, "HardwareID", FormatHardwareID(kIGotUVendorID, ProductID, Revision));
  ini.WriteString(kSection, "Description", Description);
  ini.WriteString(kSection, "Pid", std::to_string(CurrentProcessId()));
  const std::string text = ini.SaveToString(false);
  ReplacingFile file(fileName_);
  file.Write(text.data(), text.size());
  file.Commit();
}

SimRegistration::~SimRegistration() {
  Remove();
}

void SimRegistration::Remove() {
  if (!removed_) {
    RemoveFile(fileName_);
    removed_ = true;
  }
}

std::optional<std::vector<DeviceProperties>> SimDeviceSource::PresentDevices() {
  std::vector<DeviceProperties> devices;
  if (CheckPrivateFolder(folder_)) {
    return devices;
  }
  std::vector<std::string> names;
  if (const auto entries = ListFolder(folder_)) {
    for (const auto& name : entries.Value) {
      if (name.size() > 4 && name.ends_with(".ini")) {
        names.push_back(name);
      }
    }
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    const std::string path = folder_ + "/" + name;
    try {
      const std::optional<std::string> text = ReadWholeFile(path, size_t{64} * 1024);
      if (!text) {
        continue;
      }
      IniFile ini;
      ini.LoadFromString(*text);
      const int64_t pid = ini.ReadInteger(kSection, "Pid", 0);
      const std::string port = ini.ReadString(kSection, "Port", "");
      if (pid <= 0 || !IsProcessAlive(pid)) {
        RemoveFile(path);
        continue;
      }
      if (port.empty() || !StatusOf(port, true)) {
        continue;
      }
      DeviceProperties p;
      p.HardwareID = ini.ReadString(kSection, "HardwareID", "");
      p.Description = ini.ReadString(kSection, "Description", "");
      p.PortName = port;
      devices.push_back(std::move(p));
    } catch (const Error&) {
      // An entry being written or removed right now is simply not listed.
    }
  }
  return devices;
}

} // namespace tarnwick::sim
