#pragma once

#include "device/protocol.hpp"
#include "support/debug_log.hpp"

#include <string>

namespace tarnwick::app {

/// The keys of the settings file beside the executable.
struct Settings {
  /// [Setting] Debug: the viewer's debug features (protocol debug window, raw records, ports
  /// opened by hand).
  bool Debug = false;
  /// [Setting] ReadRetryCount and CommandRetryCount, the engine's defaults when missing.
  int ReadRetryCount = 5;
  int CommandRetryCount = 8; ///< attempts per command
  /// [Setting] FastDrain: 0 waits for the read time-out before every command.
  bool FastDrain = true;
  /// [Debug] OutputLog; Immediate and AlwaysOpen are read only when it is on.
  bool OutputLog = false;
  bool Immediate = false;
  bool AlwaysOpen = false;
};

/// The settings file of the running program: its executable's path with ".ini" for the
/// extension.
std::string SettingsFileName();

/// Reads FileName; a missing file gives the defaults. Raises FileError when it exists but
/// cannot be read.
Settings ReadSettings(const std::string& FileName);

/// Puts the settings into the engine and the log (OutputLog, then Immediate, then
/// AlwaysOpen).
void ApplySettings(const Settings& Settings, TIGotUProtocol& Protocol, TDebugLog& Log);

} // namespace tarnwick::app
