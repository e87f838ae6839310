#include "sim/sim_memory_port.hpp"

#include "device/com_port.hpp"

#include <algorithm>
#include <cerrno>

namespace tarnwick::sim {

namespace {
constexpr TSimTime kReadIntervalTimeout = std::chrono::milliseconds(10);
constexpr TSimTime kReadTotalTimeout = std::chrono::milliseconds(200);
} // namespace

TSimMemoryPort::TSimMemoryPort(const TIGotUWholeData& Image, TSimLoggerOptions Options)
    : FLogger(Image, std::move(Options)) {
  SetChunkSize(FLogger.ChunkSize());
}

void TSimMemoryPort::Require(const char* What) const {
  if (FLogger.Unplugged()) {
    throw ComPortError(What, EIO);
  }
  if (!FOpen) {
    throw ComPortError(What, EBADF);
  }
}

void TSimMemoryPort::Open() {
  if (FOpen) {
    return;
  }
  if (FLogger.Unplugged()) {
    throw ComPortError("Unable to open com port", ENOENT);
  }
  FOpen = true;
  ++FOpens;
}

void TSimMemoryPort::Close() {
  if (!FOpen) {
    return;
  }
  FOpen = false;
  ++FCloses;
}

void TSimMemoryPort::ClearBuffer() {
  Require("Unable to purge com port");
  FLogger.Advance(FNow);
  std::vector<uint8_t> scratch(FLogger.Available(FNow));
  FLogger.Take(scratch.data(), scratch.size(), FNow);
}

void TSimMemoryPort::Sleep(std::chrono::milliseconds Time) {
  FNow += Time;
  FLogger.Advance(FNow);
}

int TSimMemoryPort::DoRead(uint8_t* Buffer, int Count) {
  Require("Unable to read from com port");
  const TSimTime totalEnd = FNow + kReadTotalTimeout;
  TSimTime intervalEnd = TSimTime::max();
  int got = 0;
  while (got < Count) {
    FLogger.Advance(FNow);
    const size_t n = FLogger.Take(Buffer + got, static_cast<size_t>(Count - got), FNow);
    if (n > 0) {
      got += static_cast<int>(n);
      intervalEnd = FNow + kReadIntervalTimeout;
      continue;
    }
    const TSimTime deadline = std::min(totalEnd, intervalEnd);
    const auto next = FLogger.NextEvent(FNow);
    if (!next || *next > deadline) {
      FNow = std::max(FNow, deadline);
      break;
    }
    FNow = *next;
  }
  return got;
}

int TSimMemoryPort::DoReadPending(uint8_t* Buffer, int Count) {
  Require("Unable to read from com port");
  FLogger.Advance(FNow);
  return static_cast<int>(FLogger.Take(Buffer, static_cast<size_t>(std::max(Count, 0)), FNow));
}

int TSimMemoryPort::DoWrite(const uint8_t* Buffer, int Count) {
  Require("Unable to write to com port");
  FWrites.emplace_back(Buffer, Buffer + Count);
  FLogger.Receive(Buffer, static_cast<size_t>(Count), FNow);
  return Count;
}

} // namespace tarnwick::sim
