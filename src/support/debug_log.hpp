#pragma once

#include "support/os_files.hpp"

#include <fmt/format.h>

#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

/// Sends Text to the debugger-output channel: standard error when the environment variable
/// TARNWICK_DEBUG_OUTPUT is set (one line per call), nowhere otherwise.
void OutputDebugText(const std::string& Text);

/// Timestamped trace lines for a log file in the user's own state folder and the debugger
/// output.
/// Lines are "yyyy-mm-dd hh:nn:ss.zzz: LEVEL: TEXT", UTF-8, ended by CR LF. File output is
/// off after creation; while on, lines are buffered until flushed unless Immediate is set.
/// Not thread-safe: one owner thread writes all lines.
class TDebugLog {
 public:
  /// A log named AppID + ".log" in LogFolder, or in DefaultLogFolder() when LogFolder is
  /// empty. Touches no file: the first write makes the folder and starts the file anew.
  explicit TDebugLog(std::string AppID, std::string LogFolder = {});
  /// Writes out the buffered lines, then closes the file.
  ~TDebugLog();
  TDebugLog(const TDebugLog&) = delete;
  TDebugLog& operator=(const TDebugLog&) = delete;

  /// Adds one line of Level and Msg (see the class comment for where it goes).
  void AddLog(int Level, const std::string& Msg);
  /// Formats Msg with Args first, then AddLog; every channel gets the formatted text.
  template <class... Args>
  void AddLogF(int Level, fmt::format_string<Args...> Msg, Args&&... args) {
    AddLog(Level, fmt::format(Msg, std::forward<Args>(args)...));
  }
  /// Writes every buffered line, oldest first (lost lines are dropped), then clears the buffer.
  void FlushLogs();
  /// Discards the buffered lines without writing them.
  void ClearLogs() { FLogs.clear(); }

  /// Whether lines go to the file at all.
  bool OutputLog() const { return FOutputLog; }
  /// Switches file output; a change flushes the buffer first.
  void SetOutputLog(bool Value);
  /// Whether each line is written at once.
  bool Immediate() const { return FImmediate; }
  /// Stores Value, then flushes the buffer (also when unchanged).
  void SetImmediate(bool Value);
  /// Whether the file stays open between writes.
  bool AlwaysOpen() const { return FAlwaysOpen; }
  /// Keeps the file open between writes; false closes it now.
  void SetAlwaysOpen(bool Value);

  /// Full path of the log file; empty until the first write, and after it when no folder
  /// could be had.
  const std::string& FileName() const { return FFileName; }
  /// Number of lines waiting in the buffer.
  size_t BufferedCount() const { return FLogs.size(); }
  /// Whether the file is held open right now.
  bool IsFileOpen() const { return file_.IsOpen(); }

  /// Where the log goes unless a folder is given: the program's folder in the user's state
  /// folder (UserStateFolder), made for the user alone; when that cannot be had, a folder of
  /// the user's alone in the temporary folder (PrivateTemporaryFolder). Never a folder that
  /// others share: they could read the positions the trace holds, or plant a file of theirs
  /// under its name to collect them. Makes the folder; empty when neither will do.
  static std::string DefaultLogFolder();

 private:
  std::string FormatLine(int Level, const std::string& Msg) const;
  void WriteLine(const std::string& Line);
  void OpenLog();
  void TakeFile(FileHandle File);
  void CloseLog();
  void BeginWrite();
  void EndWrite();

  bool FOutputLog = false;
  bool FImmediate = false;
  bool FAlwaysOpen = false;
  FileHandle file_;
  int FOpenCount = 0;
  bool started_ = false; // the first write has chosen the file and started it anew
  std::string FAppID;
  std::string logFolder_;
  std::string FFileName;
  std::vector<std::string> FLogs;
};

} // namespace tarnwick
