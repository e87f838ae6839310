#include "support/os_console.hpp"

#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tarnwick {

namespace {

HANDLE HandleOf(StandardStream stream) {
  switch (stream) {
  case StandardStream::Input:
    return ::GetStdHandle(STD_INPUT_HANDLE);
  case StandardStream::Output:
    return ::GetStdHandle(STD_OUTPUT_HANDLE);
  case StandardStream::Error:
    break;
  }
  return ::GetStdHandle(STD_ERROR_HANDLE);
}

} // namespace

bool IsTerminal(StandardStream Stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(Stream), &mode) != 0;
}

std::optional<int> TerminalWidth(StandardStream Stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(HandleOf(Stream), &info)) {
    return std::nullopt;
  }
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? std::optional<int>(width) : std::nullopt;
}

void SetBinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

void WriteStandardErrorUnsafeContext(std::string_view Text) noexcept {
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  while (!Text.empty() && err != nullptr && err != INVALID_HANDLE_VALUE) {
    DWORD n = 0;
    if (!::WriteFile(err, Text.data(), static_cast<DWORD>(Text.size()), &n, nullptr) || n == 0) {
      return;
    }
    Text.remove_prefix(n);
  }
}

void WriteDebuggerText(std::string_view Line) {
  ::OutputDebugStringW(Utf8ToWide(Line).c_str());
}

} // namespace tarnwick
