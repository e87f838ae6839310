#pragma once

#include "device/command_reply.hpp"
#include "logger/status_data.hpp"

#include <array>
#include <cstdint>

namespace tarnwick {

/// The 16 bytes of one command frame.
struct RIGotUCommandData {
  /// Bytes 0..15 in wire order.
  std::array<uint8_t, 16> Bytes{};
};

/// A command frame: lead byte 0x93, command code(s), parameters, and a checksum in byte 15
/// that makes the 8-bit sum of all 16 bytes zero. Complete when constructed, never changed.
class TIGotUCommand {
 public:
  /// A frame with command code Cmd and sub-code 0.
  explicit TIGotUCommand(uint8_t Cmd);
  /// A frame with command code Cmd1 and sub-code Cmd2.
  TIGotUCommand(uint8_t Cmd1, uint8_t Cmd2);
  virtual ~TIGotUCommand() = default;

  /// Always 16.
  static constexpr int CommandSize() { return 16; }
  /// The frame bytes, from byte 0.
  const uint8_t* DataPtr() const { return data_.Bytes.data(); }
  /// The frame.
  const RIGotUCommandData& Data() const { return data_; }

  /// Takes the command's result from a reply whose header the engine has checked; the base
  /// takes nothing. Raises EIGotUError when the reply is too short for the result.
  virtual void ParseReply(const TIGotUCommandReply& Reply);
  /// Whether the engine must make sure no reply to an earlier frame is still on its way before
  /// sending this command: true for every command whose reply carries what the caller reads.
  virtual bool NeedsQuietLine() const { return true; }

 protected:
  /// Byte Offset := high byte of Value, byte Offset + 1 := low byte.
  void SetWordBE(int Offset, uint16_t Value);
  /// Bytes Offset .. Offset + 2 := the low 24 bits of Addr, high byte first (the logger
  /// takes 24-bit addresses).
  void SetAddressBE(int Offset, uint32_t Addr);
  /// Byte Offset := Value.
  void SetByte(int Offset, uint8_t Value) { data_.Bytes[static_cast<size_t>(Offset)] = Value; }
  /// Byte 15 := the value that brings the 8-bit sum of the frame to 0; the last step of
  /// every constructor.
  void SetCheckSum();
  /// Copies the first N data bytes of Reply to Dest; raises EIGotUError "I-gotu Command Reply
  /// Length error" when the reply announced fewer, leaving Dest unchanged.
  static void CopyReplyData(const TIGotUCommandReply& Reply, uint8_t* Dest, int N);

 private:
  void InitCommand();

  RIGotUCommandData data_;
};

/// Switches the logger's mode: 3 into configuration mode, 0 back into its normal mode.
class TIGotUNmeaSwitchCommand : public TIGotUCommand {
 public:
  /// Result: whether the reply carried no data.
  struct RSwitchResult {
    /// The logger answered without data, as it does to a switch it took.
    bool Ok = false;
  };

  /// 93 01 01, then the low byte of GPSMode.
  explicit TIGotUNmeaSwitchCommand(int GPSMode);
  /// Ok := the reply's data count is 0; never fails.
  void ParseReply(const TIGotUCommandReply& Reply) override;
  /// False: nobody reads the switch's result, and in normal mode the logger's text lines
  /// never let the line go quiet.
  bool NeedsQuietLine() const override { return false; }

  /// The result; kept as it was when parsing failed.
  RSwitchResult ResultData;
};

/// Asks for the model record (3 bytes).
class TIGotUModelCommand : public TIGotUCommand {
 public:
  /// 93 05 04 00 03 01 9F.
  TIGotUModelCommand();
  /// Takes the first 3 data bytes; raises the reply length error for fewer.
  void ParseReply(const TIGotUCommandReply& Reply) override;

  /// The result; kept as it was when parsing failed.
  RModelResult ResultData;
};

/// Asks for the identification record (10 bytes).
class TIGotUIdentificationCommand : public TIGotUCommand {
 public:
  /// 93 0A.
  TIGotUIdentificationCommand();
  /// Takes the first 10 data bytes; raises the reply length error for fewer.
  void ParseReply(const TIGotUCommandReply& Reply) override;

  /// The result; kept as it was when parsing failed.
  RIdentResult ResultData;
};

/// Asks for the record count (3 bytes).
class TIGotUCountCommand : public TIGotUCommand {
 public:
  /// 93 0B 03 00 1D.
  TIGotUCountCommand();
  /// Takes the first 3 data bytes; raises the reply length error for fewer.
  void ParseReply(const TIGotUCommandReply& Reply) override;

  /// The result; kept as it was when parsing failed.
  RCountResult ResultData;
};

/// Reads Size bytes of logger memory from Addr (only its low 24 bits are sent); the engine
/// delivers the data straight into the caller's buffer.
class TIGotUReadCommand : public TIGotUCommand {
 public:
  /// 93 05 07, Size (big-endian), 04 03, the address's low 24 bits (big-endian).
  TIGotUReadCommand(uint32_t Addr, uint16_t Size);
  /// The data is already in the caller's buffer; a reply with fewer bytes than asked would
  /// leave part of it unread, so it raises the reply length error like the status commands.
  void ParseReply(const TIGotUCommandReply& Reply) override;

 private:
  uint16_t size_;
};

} // namespace tarnwick
