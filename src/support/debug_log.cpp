#include "support/debug_log.hpp"

#include "support/date_time.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick {

void OutputDebugText(const std::string& Text) {
  if (std::getenv("TARNWICK_DEBUG_OUTPUT") == nullptr) {
    return;
  }
  // One write per call keeps lines of several processes on one terminal apart.
  std::string line = Text;
  line += '\n';
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

TDebugLog::TDebugLog(std::string AppID, std::string LogFolder)
    : FAppID(std::move(AppID)), logFolder_(std::move(LogFolder)) {}

TDebugLog::~TDebugLog() {
  FlushLogs();
  CloseLog();
}

std::string TDebugLog::GetLogFolder() {
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return "/tmp";
}

std::string TDebugLog::FormatLine(int Level, const std::string& Msg) const {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  const DateTime now = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
                       EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                  static_cast<int>(ts.tv_nsec / 1000000));
  return fmt::format("{}: {}: {}", FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", now), Level, Msg);
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
  if (folder.empty() || folder.back() != '/') {
    folder += '/';
  }
  FFileName = folder + FAppID + ".log";
  ::unlink(FFileName.c_str());
  // O_EXCL and O_NOFOLLOW: in a shared temporary folder another user could have planted a
  // link under this name between the unlink and the create.
  const int fd =
      ::open(FFileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
  }
}

void TDebugLog::OpenLog() {
  if (FFileName.empty()) {
    CreateLogFile();
  }
  const int fd = ::open(FFileName.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  // Not shared with other writers, like the file the log was designed around.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

void TDebugLog::CloseLog() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void TDebugLog::BeginWrite() {
  if (fd_ < 0) {
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
  if (fd_ >= 0) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        break;
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  EndWrite();
}

} // namespace tarnwick
