#pragma once

#include "device/com_port.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// The operating system's serial port with the logger's settings (see SerialLine).
/// POSIX: termios in raw mode with poll() for the time-outs; the port is locked with
/// TIOCEXCL and flock() while open. Windows: an overlapped handle with SetCommTimeouts.
/// Works on a pseudo-terminal as on a USB modem port.
class TIGotUUsbComPort : public SerialLine {
 public:
  /// A closed port for PortName (/dev/ttyACM0, COM5).
  explicit TIGotUUsbComPort(std::string PortName);
  /// Closes the port if it is open.
  ~TIGotUUsbComPort() override;
  TIGotUUsbComPort(const TIGotUUsbComPort&) = delete;
  TIGotUUsbComPort& operator=(const TIGotUUsbComPort&) = delete;

  void Open() override;
  void Close() override;
  bool Connected() const override;
  /// Ends when Count bytes arrived, 10 ms after the last byte, or 200 ms after the start.
  /// Raises ComPortError when the port fails or its device is gone.
  int Read(uint8_t* Buffer, int Count) override;
  int ReadPending(uint8_t* Buffer, int Count) override;
  /// Ends when all bytes are written or 1000 ms + 2 ms per byte after the start.
  int Write(const uint8_t* Buffer, int Count) override;
  void Purge() override;
  const std::string& PortName() const override { return portName_; }

 private:
  void RequireOpen(const char* What) const;

  std::string portName_;
#ifdef _WIN32
  void* handle_;
#else
  int fd_ = -1;
#endif
};

} // namespace tarnwick
