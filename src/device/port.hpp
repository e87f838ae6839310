#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class TDebugLog;

/// The byte port the protocol engine talks through. Read and Write trace each request into
/// the debug log (level 0) and pass to the transport's DoRead and DoWrite.
class TIgotUPort {
 public:
  TIgotUPort() = default;
  virtual ~TIgotUPort() = default;
  TIgotUPort(const TIgotUPort&) = delete;
  TIgotUPort& operator=(const TIgotUPort&) = delete;

  /// Reads up to Count bytes, waiting no longer than the transport's read time-outs (on a
  /// serial port: 10 ms after the last byte, 200 ms in all). Returns the number read; fewer
  /// than Count, even 0, just means nothing more arrived in time. Transport failures raise.
  int Read(uint8_t* Buffer, int Count);
  /// Takes up to Count bytes that have already arrived, without waiting; 0 when none has.
  /// Transport failures raise.
  int ReadPending(uint8_t* Buffer, int Count);
  /// Writes Count bytes within the transport's write time-out (on a serial port 2 ms a byte
  /// plus 1000 ms); returns the number written, fewer when the time-out expired.
  int Write(const uint8_t* Buffer, int Count);

  /// Opens the transport; an open port stays as it is. Failures raise.
  virtual void Open() = 0;
  /// Closes it; a closed port stays as it is.
  virtual void Close() = 0;
  /// Discards everything pending in the receive and transmit buffers.
  virtual void ClearBuffer() = 0;
  /// Short text naming the port (its device path).
  virtual std::string Description() const = 0;

  /// Frame bytes written per write: 8 (acknowledged halves) or 16; 0 sends nothing.
  int ChunkSize() const { return FChunkSize; }
  void SetChunkSize(int Value) { FChunkSize = Value; }
  /// Trace sink, not owned; null traces nothing.
  TDebugLog* DebugLog() const { return FDebugLog; }
  void SetDebugLog(TDebugLog* Value) { FDebugLog = Value; }

 protected:
  /// The transport's read, with the contract of Read.
  virtual int DoRead(uint8_t* Buffer, int Count) = 0;
  /// The transport's non-waiting read, with the contract of ReadPending.
  virtual int DoReadPending(uint8_t* Buffer, int Count) = 0;
  /// The transport's write, with the contract of Write.
  virtual int DoWrite(const uint8_t* Buffer, int Count) = 0;

 private:
  int FChunkSize = 8;
  TDebugLog* FDebugLog = nullptr;
};

} // namespace tarnwick
