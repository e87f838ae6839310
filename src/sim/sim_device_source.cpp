#include "sim/sim_device_source.hpp"

#include "device/device_info.hpp"
#include "device/hardware_id.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/ini_file.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick::sim {

namespace {

constexpr const char* kSection = "Logger";

// Whether Folder is a real folder owned by this user and closed to everyone else; entries
// name device paths that the download opens, so nobody else may write them.
bool IsPrivateFolder(const std::string& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

bool ProcessAlive(int pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

std::string SimRegistryFolder() {
  if (const char* dir = std::getenv("TARNWICK_SIM_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && *run != '\0') {
    return std::string(run) + "/tarnwick-sim";
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return base + "/tarnwick-sim-" + std::to_string(::geteuid());
}

SimRegistration::SimRegistration(const std::string& PortName, uint16_t ProductID,
                                 const std::string& Revision, const std::string& Description,
                                 const std::string& Folder) {
  if (::mkdir(Folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw FileError::Create(Folder, errno);
  }
  if (!IsPrivateFolder(Folder)) {
    throw Error("The folder " + Folder +
                " for simulated loggers must be a folder of this user that nobody else can "
                "read or write");
  }
  fileName_ = Folder + "/" + std::to_string(::getpid()) + ".ini";
  IniFile ini;
  ini.WriteString(kSection, "Port", PortName);
  ini.WriteString(kSection, "HardwareID", FormatHardwareID(kIGotUVendorID, ProductID, Revision));
  ini.WriteString(kSection, "Description", Description);
  ini.WriteString(kSection, "Pid", std::to_string(::getpid()));
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
    ::unlink(fileName_.c_str());
    removed_ = true;
  }
}

std::optional<std::vector<DeviceProperties>> SimDeviceSource::PresentDevices() {
  std::vector<DeviceProperties> devices;
  if (!IsPrivateFolder(folder_)) {
    return devices;
  }
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder_.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.ends_with(".ini")) {
        names.push_back(name);
      }
    }
    ::closedir(dir);
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
      const int pid = ini.ReadInteger(kSection, "Pid", 0);
      const std::string port = ini.ReadString(kSection, "Port", "");
      if (!ProcessAlive(pid)) {
        ::unlink(path.c_str());
        continue;
      }
      if (port.empty() || ::access(port.c_str(), F_OK) != 0) {
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
