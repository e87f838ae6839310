#include "support/debug_log.hpp"

#include "support/date_time.hpp"
#include "support/os_clock.hpp"
#include "support/os_console.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tarnwick {

void OutputDebugText(const std::string& Text) {
  if (std::getenv("TARNWICK_DEBUG_OUTPUT") == nullptr) {
    return;
  }
  WriteDebuggerText(Text);
}

TDebugLog::TDebugLog(std::string AppID, std::string LogFolder)
    : FAppID(std::move(AppID)), logFolder_(std::move(LogFolder)) {}

TDebugLog::~TDebugLog() {
  FlushLogs();
  CloseLog();
}

std::string TDebugLog::GetLogFolder() {
  return TemporaryFolder();
}

std::string TDebugLog::FormatLine(int Level, const std::string& Msg) const {
  const WallClockTime now = WallClockNow();
  const std::tm local = LocalTimeOf(now.Seconds);
  const DateTime stamp = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
                         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                    now.Nanoseconds / 1000000);
  return fmt::format("{}: {}: {}", FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", stamp), Level, Msg);
}

void TDebugLog::AddLog(int Level, const std::string& Msg) {
  const std::string line = FormatLine(Level, Msg);
  OutputDebugText(line);
  if (!FOutputLog) {
    return;
  }
  if (FImmediate) {
    WriteLine(line);
  } else {
    FLogs.push_back(line);
  }
}

void TDebugLog::FlushLogs() {
  for (const auto& line : FLogs) {
    WriteLine(line);
  }
  ClearLogs();
}

void TDebugLog::SetOutputLog(bool Value) {
  if (Value == FOutputLog) {
    return;
  }
  FlushLogs();
  FOutputLog = Value;
}

void TDebugLog::SetImmediate(bool Value) {
  FImmediate = Value;
  FlushLogs();
}

void TDebugLog::SetAlwaysOpen(bool Value) {
  FAlwaysOpen = Value;
  if (!Value) {
    CloseLog();
  }
}

void TDebugLog::CreateLogFile() {
  std::string folder = logFolder_.empty() ? GetLogFolder() : logFolder_;
  if (folder.empty() || !IsPathSeparator(folder.back())) {
    folder += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  FFileName = folder + FAppID + ".log";
  RemoveFile(FFileName);
  // Created new and never through a link: in a shared temporary folder another user could
  // have planted a link under this name between the removal and the creation.
  CreateNewFile(FFileName, 0600);
}

void TDebugLog::OpenLog() {
  if (FFileName.empty()) {
    CreateLogFile();
  }
  auto opened = OpenForAppending(FFileName);
  // Not shared with other writers, like the file the log was designed around.
  if (opened && TryLockExclusive(opened.Value)) {
    file_ = std::move(opened.Value);
  }
}

void TDebugLog::CloseLog() {
  file_.Close();
}

void TDebugLog::BeginWrite() {
  if (!file_.IsOpen()) {
    OpenLog();
  }
  ++FOpenCount;
}

void TDebugLog::EndWrite() {
  --FOpenCount;
  if (FOpenCount <= 0 && !FAlwaysOpen) {
    CloseLog();
  }
}

void TDebugLog::WriteLine(const std::string& Line) {
  // A lost line is never reported: logging must not disturb the work it traces.
  const std::string bytes = Line + "\r\n";
  BeginWrite();
  if (file_.IsOpen()) {
    WriteAll(file_, bytes);
  }
  EndWrite();
}

} // namespace tarnwick
