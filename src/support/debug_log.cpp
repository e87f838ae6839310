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

std::string TDebugLog::DefaultLogFolder() {
  std::string state = UserStateFolder("Tarnwick");
  if (!state.empty()) {
    // The folders above are the user's ordinary ones; only the program's own is closed.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(state).parent_path(), ignored);
    CreatePrivateFolder(state);
    if (!CheckPrivateFolder(state)) {
      return state;
    }
  }
  std::string temporary = PrivateTemporaryFolder("Tarnwick");
  CreatePrivateFolder(temporary);
  return CheckPrivateFolder(temporary) ? std::string() : temporary;
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

void TDebugLog::OpenLog() {
  if (!started_) {
    started_ = true;
    std::string folder = logFolder_.empty() ? DefaultLogFolder() : logFolder_;
    if (folder.empty()) {
      return; // no place of the user's own: the lines are lost
    }
    if (!IsPathSeparator(folder.back())) {
      folder += static_cast<char>(std::filesystem::path::preferred_separator);
    }
    FFileName = folder + FAppID + ".log";
    // Each run starts its own file, created new and never through a link.
    RemoveFile(FFileName);
    if (auto created = CreateNewFile(FFileName, 0600)) {
      TakeFile(std::move(created.Value));
      return;
    }
  }
  if (FFileName.empty()) {
    return;
  }
  // Only a file of the user's own that is what it was: what is there now may have been put
  // there since (a link, a FIFO, someone else's file), and then the line is lost instead.
  if (auto opened = OpenForAppending(FFileName)) {
    TakeFile(std::move(opened.Value));
  }
}

void TDebugLog::TakeFile(FileHandle File) {
  // Not shared with other writers, like the file the log was designed around.
  if (TryLockExclusive(File)) {
    file_ = std::move(File);
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
