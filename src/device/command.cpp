#include "device/command.hpp"

#include "support/byte_order.hpp"
#include "support/errors.hpp"

#include <algorithm>

namespace tarnwick {

TIGotUCommand::TIGotUCommand(uint8_t Cmd) {
  InitCommand();
  data_.Bytes[1] = Cmd;
}

TIGotUCommand::TIGotUCommand(uint8_t Cmd1, uint8_t Cmd2) {
  InitCommand();
  data_.Bytes[1] = Cmd1;
  data_.Bytes[2] = Cmd2;
}

void TIGotUCommand::InitCommand() {
  data_.Bytes.fill(0);
  data_.Bytes[0] = kIGotUFrameLead;
}

void TIGotUCommand::ParseReply(const TIGotUCommandReply& /*Reply*/) {}

void TIGotUCommand::SetWordBE(int Offset, uint16_t Value) {
  PutBE16(data_.Bytes, static_cast<size_t>(Offset), Value);
}

void TIGotUCommand::SetAddressBE(int Offset, uint32_t Addr) {
  PutBE24(data_.Bytes, static_cast<size_t>(Offset), Addr);
}

void TIGotUCommand::SetCheckSum() {
  data_.Bytes[15] = 0;
  uint8_t sum = 0;
  for (const auto b : data_.Bytes) {
    sum = static_cast<uint8_t>(sum + b);
  }
  data_.Bytes[15] = static_cast<uint8_t>(0 - sum);
}

void TIGotUCommand::CopyReplyData(const TIGotUCommandReply& Reply, uint8_t* Dest, int N) {
  if (N > Reply.DataCount()) {
    throw EIGotUError("I-gotu Command Reply Length error");
  }
  const uint8_t* src = Reply.GetBuffer();
  std::copy(src, src + N, Dest);
}

TIGotUNmeaSwitchCommand::TIGotUNmeaSwitchCommand(int GPSMode) : TIGotUCommand(0x01, 0x01) {
  SetByte(3, static_cast<uint8_t>(GPSMode & 0xFF));
  SetCheckSum();
}

void TIGotUNmeaSwitchCommand::ParseReply(const TIGotUCommandReply& Reply) {
  ResultData.Ok = Reply.DataCount() == 0;
}

TIGotUModelCommand::TIGotUModelCommand() : TIGotUCommand(0x05, 0x04) {
  SetByte(3, 0x00);
  SetByte(4, 0x03);
  SetByte(5, 0x01);
  SetByte(6, 0x9F);
  SetCheckSum();
}

void TIGotUModelCommand::ParseReply(const TIGotUCommandReply& Reply) {
  CopyReplyData(Reply, ResultData.Data.data(), static_cast<int>(ResultData.Data.size()));
}

TIGotUIdentificationCommand::TIGotUIdentificationCommand() : TIGotUCommand(0x0A) {
  SetCheckSum();
}

void TIGotUIdentificationCommand::ParseReply(const TIGotUCommandReply& Reply) {
  CopyReplyData(Reply, ResultData.Data.data(), static_cast<int>(ResultData.Data.size()));
}

TIGotUCountCommand::TIGotUCountCommand() : TIGotUCommand(0x0B, 0x03) {
  SetByte(3, 0x00);
  SetByte(4, 0x1D);
  SetCheckSum();
}

void TIGotUCountCommand::ParseReply(const TIGotUCommandReply& Reply) {
  CopyReplyData(Reply, ResultData.Data.data(), static_cast<int>(ResultData.Data.size()));
}

TIGotUReadCommand::TIGotUReadCommand(uint32_t Addr, uint16_t Size)
    : TIGotUCommand(0x05, 0x07), size_(Size) {
  SetWordBE(3, Size);
  SetByte(5, 0x04);
  SetByte(6, 0x03);
  SetAddressBE(7, Addr);
  SetCheckSum();
}

void TIGotUReadCommand::ParseReply(const TIGotUCommandReply& Reply) {
  if (Reply.DataCount() < size_) {
    throw EIGotUError("I-gotu Command Reply Length error");
  }
}

} // namespace tarnwick
