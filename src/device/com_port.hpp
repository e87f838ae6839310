#pragma once

#include "device/device_info.hpp"
#include "device/port.hpp"
#include "support/errors.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

/// The operating system's serial port, fixed to the logger's settings: read time-outs of
/// 10 ms after the last byte and 200 ms in all, a write time-out of 2 ms a byte plus 1000 ms,
/// exclusive access, and no line setting (baud rate, parity, handshake) written beyond what
/// raw byte transfer needs. Created closed.
class SerialLine {
 public:
  virtual ~SerialLine() = default;

  /// Opens the port exclusively; an open port stays. Raises ComPortError "Unable to open com
  /// port (Error: N): REASON".
  virtual void Open() = 0;
  /// Closes the port; a closed port stays. Never raises.
  virtual void Close() = 0;
  /// Whether the port is open.
  virtual bool Connected() const = 0;
  /// Reads up to Count bytes within the read time-outs; the number read, possibly 0.
  virtual int Read(uint8_t* Buffer, int Count) = 0;
  /// Reads up to Count bytes that have already arrived, without waiting.
  virtual int ReadPending(uint8_t* Buffer, int Count) = 0;
  /// Writes Count bytes within the write time-out; the number written.
  virtual int Write(const uint8_t* Buffer, int Count) = 0;
  /// Discards pending receive and transmit data.
  virtual void Purge() = 0;
  /// The port's device name.
  virtual const std::string& PortName() const = 0;
};

/// The logger's port over a serial line. A port made for a found logger remembers the
/// logger's USB identity, so that its presence can be checked after a device change.
class ComPort : public TIgotUPort {
 public:
  /// A closed port over Line (owned); chunk size 8, no USB identity, no log.
  explicit ComPort(std::unique_ptr<SerialLine> Line);
  /// Closes the line if it is open.
  ~ComPort() override;

  void Open() override { FComPort->Open(); }
  void Close() override { FComPort->Close(); }
  void ClearBuffer() override { FComPort->Purge(); }
  /// The port name.
  std::string Description() const override { return FComPort->PortName(); }

  /// Whether the port was made for a found logger (not by name).
  bool HasUSBDeviceInfo() const { return FHasUSBDeviceInfo; }
  /// The identity of that logger.
  const RIGotUDeviceInfoRec& USBDevice() const { return FUSBDevice; }
  /// Marks the port as made for the logger Device.
  void SetUSBDevice(const RIGotUDeviceInfoRec& Device) {
    FUSBDevice = Device;
    FHasUSBDeviceInfo = true;
  }
  /// Whether the line is open.
  bool Connected() const { return FComPort->Connected(); }

 protected:
  int DoRead(uint8_t* Buffer, int Count) override { return FComPort->Read(Buffer, Count); }
  int DoReadPending(uint8_t* Buffer, int Count) override {
    return FComPort->ReadPending(Buffer, Count);
  }
  int DoWrite(const uint8_t* Buffer, int Count) override { return FComPort->Write(Buffer, Count); }

 private:
  bool FHasUSBDeviceInfo = false;
  RIGotUDeviceInfoRec FUSBDevice;
  std::unique_ptr<SerialLine> FComPort;
};

} // namespace tarnwick
