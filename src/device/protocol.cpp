#include "device/protocol.hpp"

#include "support/debug_log.hpp"
#include "support/errors.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <fmt/format.h>
#include <thread>

namespace tarnwick {

using enum TIGotUProtocolDebugLevel;

TIGotUProtocol::TIGotUProtocol()
    : sleeper_([](std::chrono::milliseconds t) { std::this_thread::sleep_for(t); }), clockNow_([] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
      }) {}

TIgotUPort& TIGotUProtocol::RequirePort() const {
  if (FPort == nullptr) {
    throw EIGotUError("No port is bound to the protocol engine");
  }
  return *FPort;
}

void TIGotUProtocol::Wait(std::chrono::milliseconds Time) {
  sleeper_(Time);
}

void TIGotUProtocol::DebugMessage(TIGotUProtocolDebugLevel /*Level*/, const std::string& Msg) {
  if (FPort != nullptr && FPort->DebugLog() != nullptr) {
    FPort->DebugLog()->AddLog(1, Msg);
  }
}

void TIGotUProtocol::DebugMessageWithBuffer(TIGotUProtocolDebugLevel Level, const std::string& Msg,
                                            int Size, const uint8_t* Buffer) {
  if (FPort == nullptr || FPort->DebugLog() == nullptr) {
    return;
  }
  std::string text = Msg + " [";
  for (int i = 0; i < Size; ++i) {
    text += fmt::format("{:02X} ", Buffer[i]);
  }
  text += ']';
  DebugMessage(Level, text);
}

void TIGotUProtocol::ClearPortBuffer(bool Timed) {
  TIgotUPort& port = RequirePort();
  std::array<uint8_t, 256> scratch{};
  if (Timed) {
    port.Read(scratch.data(), static_cast<int>(scratch.size()));
  } else {
    port.ReadPending(scratch.data(), static_cast<int>(scratch.size()));
  }
  port.ClearBuffer();
}

void TIGotUProtocol::ClearForRetry() {
  DebugMessage(dlLow, "@Clear Buffer for Retry");
  ClearPortBuffer(true);
  Wait(std::chrono::milliseconds(200));
}

// Why a quiet line, and not one drain that waits for the read time-out: a reply can come
// later than the header's time-out. The retry then takes it (same command, same data) and
// the retry's own reply is left on its way, a whole 4 KiB reply with the very header the
// next block read expects. One timed read does not keep it out: it ends after 256 bytes or
// 10 ms after the last one, the purge drops only what has arrived, and a reply queued behind
// a late one may start after the read has ended.
// What this relies on: the logger answers frames in the order it got them, one reply each,
// and starts each reply within kReplyDeadline of the moment it could (its frame in, the
// reply before it out), the bound the engine holds the replies it takes to as well. Then a
// silence longer than kReplyDeadline after the last frame means no earlier frame's reply
// can still start.
void TIGotUProtocol::SettleLine() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  TIgotUPort& port = RequirePort();
  DebugMessage(dlLow, "@Wait For Quiet Line");
  std::array<uint8_t, 256> scratch{};
  const auto start = Now();
  const auto limit = kReplyDeadline * (1 + std::max(FCommandRetryCount, 0));
  auto lastByte = start;
  int64_t dropped = 0;
  for (;;) {
    const int n = port.Read(scratch.data(), static_cast<int>(scratch.size()));
    const auto now = Now();
    if (n > 0) {
      dropped += n;
      lastByte = now;
    } else if (now - lastByte > kReplyDeadline) {
      break;
    }
    if (now - start > limit) {
      DebugMessage(dlLow, fmt::format("**** Line Not Quiet after {} ms, {} bytes dropped",
                                      duration_cast<milliseconds>(now - start).count(), dropped));
      throw EIGotUError("The logger does not stop sending: no command can be answered reliably");
    }
  }
  port.ClearBuffer();
  settlePending_ = false;
  DebugMessage(dlLow, fmt::format("@Line Quiet after {} ms, {} bytes dropped",
                                  duration_cast<milliseconds>(Now() - start).count(), dropped));
}

void TIGotUProtocol::WriteChunk(const uint8_t* Buffer, int Count) {
  const int n = RequirePort().Write(Buffer, Count);
  if (n < Count) {
    throw EIGotUError(fmt::format("**** I-gotu Write Length error! {}", n));
  }
}

bool TIGotUProtocol::ReadReplyHeader(RIGotUCommandReplyHeader& Header) {
  DebugMessage(dlLow, "@Read Reply");
  const int n = RequirePort().Read(Header.Header.data(), 3);
  if (n < 3) {
    DebugMessage(dlLow, fmt::format("**** Read Length Error ={}", n));
    return false;
  }
  DebugMessageWithBuffer(dlLow, fmt::format("Read Count={}", n), n, Header.Header.data());
  if (!Header.CheckReply()) {
    DebugMessage(dlLow, fmt::format("**** I-gotu Reply Code error! ({:02X})", Header.Header[0]));
    return false;
  }
  if (Header.DataCount() < 0) {
    DebugMessage(dlLow, fmt::format("**** Read Reply Recoverable Error Count={}", n));
    return false;
  }
  DebugMessage(dlLow, fmt::format("Read Reply Result DataCount is {}", Header.DataCount()));
  return true;
}

bool TIGotUProtocol::ReadAck() {
  RIGotUCommandReplyHeader header;
  return ReadReplyHeader(header) && header.DataCount() <= 0;
}

int TIGotUProtocol::ReadRemain(uint8_t* Buffer, int Count) {
  for (int attempt = 0; attempt < FReadRetryCount; ++attempt) {
    const int got = RequirePort().Read(Buffer, Count);
    DebugMessage(dlLow, fmt::format("Read Remain Reply Result DataCount={}", got));
    if (got > 0) {
      return got;
    }
    DebugMessage(dlLow, fmt::format("** Read Fail Retrying {}", attempt));
  }
  DebugMessage(dlLow, "**** Read Error");
  throw EIGotUError("**** Read Error !!");
}

bool TIGotUProtocol::ReadReply(TIGotUCommandReply& Reply) {
  const auto start = Now();
  if (!ReadReplyHeader(Reply.Header)) {
    return false;
  }
  // The logger's count is trusted only as far as the destination reaches: a reply that
  // announces more than the read command's buffer holds fails the attempt, and the retry
  // drains its data.
  if (!Reply.DataFits()) {
    DebugMessage(dlLow, fmt::format("**** Reply Data Count too large={}", Reply.DataCount()));
    return false;
  }
  int remaining = Reply.DataCount();
  uint8_t* p = Reply.AllocBuffer();
  while (remaining > 0) {
    DebugMessage(dlLow, fmt::format("@Read Remain Reply RequestCount={}", remaining));
    const int got = ReadRemain(p, remaining);
    p += got;
    remaining -= got;
    // Each read ends when bytes stop for 10 ms, so a logger that trickles its reply would
    // otherwise keep one block going for minutes.
    const auto spent = Now() - start;
    if (remaining > 0 && spent > kReplyDeadline) {
      DebugMessage(dlLow,
                   fmt::format("**** Reply Deadline Error after {} ms, {} of {} bytes",
                               std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(),
                               Reply.DataCount() - remaining, Reply.DataCount()));
      return false;
    }
  }
  return true;
}

bool TIGotUProtocol::DoCommunication(TIGotUCommand& Cmd, TIGotUCommandReply& Reply) {
  TIgotUPort& port = RequirePort();
  DebugMessage(dlLow, "@Clear Buffer");
  ClearPortBuffer(!fastDrain_);

  int size = port.ChunkSize();
  if (size > TIGotUCommand::CommandSize()) {
    size = TIGotUCommand::CommandSize();
  }
  if (size <= 0) {
    throw EIGotUError(fmt::format("**** I-gotu Chunk Size error! {}", size));
  }
  const int n = TIGotUCommand::CommandSize() / size;
  const uint8_t* p = Cmd.DataPtr();
  for (int i = 0; i < n - 1; ++i) {
    DebugMessageWithBuffer(dlLow, "@Send CommandChunk1", size, p);
    WriteChunk(p, size);
    if (!ReadAck()) {
      return false;
    }
    p += size;
  }
  DebugMessageWithBuffer(dlLow, "@Send CommandChunk2", size, p);
  WriteChunk(p, size);
  return ReadReply(Reply);
}

bool TIGotUProtocol::Transact(TIGotUCommand& Cmd, uint8_t* Ptr, size_t PtrSize) {
  TIGotUCommandReply reply(Ptr, PtrSize);
  const bool ok = DoCommunication(Cmd, reply);
  if (ok) {
    Cmd.ParseReply(reply);
  }
  return ok;
}

bool TIGotUProtocol::SendCommand(TIGotUCommand& Cmd, uint8_t* Ptr, size_t PtrSize) {
  RequirePort();
  // A command whose result nobody reads (the mode switch) cannot be misled by a stale reply,
  // and in normal mode the logger's text never lets the line go quiet; the wait is left to
  // the next command that reads something.
  if (settlePending_ && Cmd.NeedsQuietLine()) {
    SettleLine();
  }
  for (int attempt = 0; attempt < FCommandRetryCount; ++attempt) {
    try {
      if (Transact(Cmd, Ptr, PtrSize)) {
        settlePending_ = settlePending_ || attempt > 0;
        return true;
      }
    } catch (const std::exception& e) {
      DebugMessage(dlCommand, std::string("**** SendCommand Error Catch: ") + e.what());
    }
    ClearForRetry();
  }
  settlePending_ = settlePending_ || FCommandRetryCount > 0;
  return false;
}

bool TIGotUProtocol::PreRead() {
  TIgotUPort& port = RequirePort();
  std::array<uint8_t, 16> scratch{};
  for (int i = 0; i < 16; ++i) {
    const int n = port.Read(scratch.data(), static_cast<int>(scratch.size()));
    DebugMessageWithBuffer(dlLow, fmt::format("@Pre Read {} Count={}", i, n), n, scratch.data());
    Wait(std::chrono::milliseconds(100));
  }
  return true;
}

} // namespace tarnwick
