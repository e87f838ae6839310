#include "support/os_console.hpp"

#include <cerrno>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tarnwick {

namespace {

int DescriptorOf(StandardStream stream) {
  switch (stream) {
  case StandardStream::Input:
    return STDIN_FILENO;
  case StandardStream::Output:
    return STDOUT_FILENO;
  case StandardStream::Error:
    break;
  }
  return STDERR_FILENO;
}

void WriteAllIgnoringErrors(int fd, const char* p, size_t left) noexcept {
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
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

} // namespace

bool IsTerminal(StandardStream Stream) {
  return ::isatty(DescriptorOf(Stream)) == 1;
}

std::optional<int> TerminalWidth(StandardStream Stream) {
  winsize size{};
  if (::ioctl(DescriptorOf(Stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return std::nullopt;
}

void SetBinaryStandardStreams() {}

void WriteStandardErrorUnsafeContext(std::string_view Text) noexcept {
  const int saved = errno;
  WriteAllIgnoringErrors(STDERR_FILENO, Text.data(), Text.size());
  errno = saved;
}

void WriteDebuggerText(std::string_view Line) {
  std::string text(Line);
  text += '\n';
  WriteAllIgnoringErrors(STDERR_FILENO, text.data(), text.size());
}

} // namespace tarnwick
