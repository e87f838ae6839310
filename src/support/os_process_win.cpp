#include "support/os_process.hpp"

#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <atomic>
#include <windows.h>

namespace tarnwick {

ProcessId CurrentProcessId() {
  return ::GetCurrentProcessId();
}

bool IsProcessAlive(ProcessId Id) {
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(Id));
  if (process == nullptr) {
    // No such process gives ERROR_INVALID_PARAMETER; one we may not open is still there.
    return ::GetLastError() != ERROR_INVALID_PARAMETER;
  }
  DWORD code = 0;
  const bool alive = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return alive;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      return {};
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      return WideToUtf8(buffer);
    }
    buffer.resize(buffer.size() * 2); // cut short: the call filled the whole buffer
  }
}

namespace {

std::atomic<EndHandler> gEndHandler{nullptr};

BOOL WINAPI OnConsoleControl(DWORD Type) {
  EndEvent event = EndEvent::Interrupt;
  switch (Type) {
  case CTRL_C_EVENT:
  case CTRL_BREAK_EVENT:
    break;
  case CTRL_CLOSE_EVENT:
    event = EndEvent::HangUp;
    break;
  default:
    return FALSE; // log-off and shut-down: the next handler, or the default, decides
  }
  const EndHandler handler = gEndHandler.load();
  if (handler == nullptr) {
    return FALSE;
  }
  handler(event);
  return TRUE;
}

} // namespace

void InstallEndHandler(EndHandler Handler) {
  gEndHandler.store(Handler);
  // A process started with Ctrl-C ignored keeps ignoring it: the system then calls no handler.
  static const bool installed = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
  (void)installed;
}

void EndByEvent(EndEvent Event) {
  (void)Event;
  ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

WakeSignal::WakeSignal() {
  // Manual reset: it stays signalled until Clear(), however many Notify() calls came.
  if (const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    watched_ = FileHandle(event);
  }
}

void WakeSignal::Notify() const noexcept {
  ::SetEvent(watched_.Get());
}

void WakeSignal::Clear() const noexcept {
  ::ResetEvent(watched_.Get());
}

} // namespace tarnwick
