#include "app/app_settings.hpp"

#include "support/ini_file.hpp"
#include "support/os_files.hpp"
#include "support/os_process.hpp"

namespace tarnwick::app {

std::string SettingsFileName() {
  // Worked on the UTF-8 text: std::filesystem::path would convert through the code page.
  std::string exe = ExecutablePath();
  if (exe.empty()) {
    exe = "tarnwick";
  }
  size_t nameStart = exe.size();
  while (nameStart > 0 && !IsPathSeparator(exe[nameStart - 1])) {
    --nameStart;
  }
  const size_t dot = exe.rfind('.');
  if (dot != std::string::npos && dot > nameStart) {
    exe.erase(dot);
  }
  return exe + ".ini";
}

Settings ReadSettings(const std::string& FileName) {
  const IniFile ini = IniFile::LoadFromFile(FileName);
  Settings s;
  s.Debug = ini.ReadBool("Setting", "Debug", s.Debug);
  s.ReadRetryCount = ini.ReadInteger("Setting", "ReadRetryCount", s.ReadRetryCount);
  s.CommandRetryCount = ini.ReadInteger("Setting", "CommandRetryCount", s.CommandRetryCount);
  s.FastDrain = ini.ReadBool("Setting", "FastDrain", s.FastDrain);
  s.OutputLog = ini.ReadBool("Debug", "OutputLog", false);
  if (s.OutputLog) {
    s.Immediate = ini.ReadBool("Debug", "Immediate", false);
    s.AlwaysOpen = ini.ReadBool("Debug", "AlwaysOpen", false);
  }
  return s;
}

void ApplySettings(const Settings& Settings, TIGotUProtocol& Protocol, TDebugLog& Log) {
  Protocol.SetReadRetryCount(Settings.ReadRetryCount);
  Protocol.SetCommandRetryCount(Settings.CommandRetryCount);
  Protocol.SetFastDrain(Settings.FastDrain);
  Log.SetOutputLog(Settings.OutputLog);
  if (Settings.OutputLog) {
    Log.SetImmediate(Settings.Immediate);
    Log.SetAlwaysOpen(Settings.AlwaysOpen);
  }
}

} // namespace tarnwick::app
