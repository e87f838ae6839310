#include "app/app_settings.hpp"

#include "support/ini_file.hpp"

#include <filesystem>
#include <system_error>

namespace tarnwick::app {

std::string SettingsFileName() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    exe = "tarnwick";
  }
  exe.replace_extension(".ini");
  return exe.string();
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
