// The Win32 serial port: an overlapped handle whose driver applies the time-outs itself.
#include "platform/usb_com_port.hpp"

#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <algorithm>
#include <string>
#include <windows.h>

namespace tarnwick {

namespace {

constexpr DWORD kBufferSize = 4100;
constexpr const char* kReadError = "Unable to read from com port";
constexpr const char* kWriteError = "Unable to write to com port";

HANDLE H(void* handle) {
  return static_cast<HANDLE>(handle);
}

// The port's error for a Win32 error code, with the system's text for the code (errno texts
// would name other errors).
ComPortError PortError(const char* what, DWORD code) {
  return ComPortError(what, static_cast<int>(code), WindowsErrorText(code));
}

// An event for one overlapped transfer, closed with it.
struct Overlapped {
  OVERLAPPED Ov{};
  Overlapped() { Ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() {
    if (Ov.hEvent != nullptr) {
      ::CloseHandle(Ov.hEvent);
    }
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;
};

// Waits for a transfer that ReadFile or WriteFile started (Started is their result); the
// driver ends it at the port's time-outs. The byte count comes from the overlapped result
// also when the call completed at once.
DWORD Complete(HANDLE h, Overlapped& ov, BOOL started, const char* what) {
  if (!started) {
    const DWORD err = ::GetLastError();
    if (err != ERROR_IO_PENDING && err != ERROR_TIMEOUT) {
      throw PortError(what, err);
    }
  }
  DWORD done = 0;
  if (!::GetOverlappedResult(h, &ov.Ov, &done, TRUE)) {
    const DWORD err = ::GetLastError();
    // Windows ends a transfer at the port's time-out with success and the bytes moved so far;
    // Wine reports the same end as ERROR_TIMEOUT, with the count set all the same.
    if (err != ERROR_TIMEOUT) {
      throw PortError(what, err);
    }
  }
  return done;
}

} // namespace

TIGotUUsbComPort::TIGotUUsbComPort(std::string PortName)
    : portName_(std::move(PortName)), handle_(INVALID_HANDLE_VALUE) {}

TIGotUUsbComPort::~TIGotUUsbComPort() {
  Close();
}

bool TIGotUUsbComPort::Connected() const {
  return H(handle_) != INVALID_HANDLE_VALUE;
}

void TIGotUUsbComPort::RequireOpen(const char* What) const {
  if (!Connected()) {
    throw PortError(What, ERROR_INVALID_HANDLE);
  }
}

void TIGotUUsbComPort::Open() {
  if (Connected()) {
    return;
  }
  constexpr const char* kOpenError = "Unable to open com port";
  const std::wstring path = L"\\\\.\\" + Utf8ToWide(portName_);
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    throw PortError(kOpenError, ::GetLastError());
  }
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 10;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 200;
  timeouts.WriteTotalTimeoutMultiplier = 2;
  timeouts.WriteTotalTimeoutConstant = 1000;
  // SetCommState is never called: the virtual port ignores line settings, and the driver's
  // own ones are left as they are.
  if (!::SetupComm(h, kBufferSize, kBufferSize) || !::SetCommTimeouts(h, &timeouts)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    throw PortError(kOpenError, err);
  }
  handle_ = h;
}

void TIGotUUsbComPort::Close() {
  if (!Connected()) {
    return;
  }
  ::CloseHandle(H(handle_));
  handle_ = INVALID_HANDLE_VALUE;
}

int TIGotUUsbComPort::Read(uint8_t* Buffer, int Count) {
  RequireOpen(kReadError);
  if (Count <= 0) {
    return 0;
  }
  Overlapped ov;
  const BOOL started = ::ReadFile(H(handle_), Buffer, static_cast<DWORD>(Count), nullptr, &ov.Ov);
  return static_cast<int>(Complete(H(handle_), ov, started, kReadError));
}

int TIGotUUsbComPort::ReadPending(uint8_t* Buffer, int Count) {
  RequireOpen(kReadError);
  DWORD errors = 0;
  COMSTAT stat{};
  if (!::ClearCommError(H(handle_), &errors, &stat)) {
    throw PortError(kReadError, ::GetLastError());
  }
  const DWORD n = std::min<DWORD>(stat.cbInQue, Count > 0 ? static_cast<DWORD>(Count) : 0);
  if (n == 0) {
    return 0;
  }
  // The bytes are in the driver's queue already, so the read completes at once.
  Overlapped ov;
  const BOOL started = ::ReadFile(H(handle_), Buffer, n, nullptr, &ov.Ov);
  return static_cast<int>(Complete(H(handle_), ov, started, kReadError));
}

int TIGotUUsbComPort::Write(const uint8_t* Buffer, int Count) {
  RequireOpen(kWriteError);
  if (Count <= 0) {
    return 0;
  }
  Overlapped ov;
  const BOOL started = ::WriteFile(H(handle_), Buffer, static_cast<DWORD>(Count), nullptr, &ov.Ov);
  return static_cast<int>(Complete(H(handle_), ov, started, kWriteError));
}

void TIGotUUsbComPort::Purge() {
  RequireOpen("Unable to purge com port");
  if (!::PurgeComm(H(handle_), PURGE_RXCLEAR | PURGE_TXCLEAR)) {
    throw PortError("Unable to purge com port", ::GetLastError());
  }
}

} // namespace tarnwick
