#include "sim/sim_memory_port.hpp"

#include "device/com_port.hpp"

#include <algorithm>
#include <cerrno>

namespace tarnwick::sim {

namespace {
constexpr SimTime kReadIntervalTimeout = std::chrono::milliseconds(10);
constexpr SimTime kReadTotalTimeout = std::chrono::milliseconds(200);
} // namespace

SimMemoryPort::SimMemoryPort(const TIGotUWholeData& Image, SimLoggerOptions Options)
    : logger_(Image, std::move(Options)) {
  SetChunkSize(logger_.ChunkSize());
}

void SimMemoryPort::Require(const char* What) const {
  if (logger_.Unplugged()) {
    throw ComPortError(What, EIO);
  }
  if (!open_) {
    throw ComPortError(What, EBADF);
  }
}

void SimMemoryPort::Open() {
  if (open_) {
    return;
  }
  if (logger_.Unplugged()) {
    throw ComPortError("Unable to open com port", ENOENT);
  }
  open_ = true;
  ++opens_;
}

void SimMemoryPort::Close() {
  if (!open_) {
    return;
  }
  open_ = false;
  ++closes_;
}

void SimMemoryPort::ClearBuffer() {
  Require("Unable to purge com port");
  logger_.Advance(now_);
  std::vector<uint8_t> scratch(logger_.Available(now_));
  logger_.Take(scratch.data(), scratch.size(), now_);
}

void SimMemoryPort::Sleep(std::chrono::milliseconds Time) {
  now_ += Time;
  logger_.Advance(now_);
}

int SimMemoryPort::DoRead(uint8_t* Buffer, int Count) {
  Require("Unable to read from com port");
  const SimTime totalEnd = now_ + kReadTotalTimeout;
  SimTime intervalEnd = SimTime::max();
  int got = 0;
  while (got < Count) {
    logger_.Advance(now_);
    const size_t n = logger_.Take(Buffer + got, static_cast<size_t>(Count - got), now_);
    if (n > 0) {
      got += static_cast<int>(n);
      intervalEnd = now_ + kReadIntervalTimeout;
      continue;
    }
    const SimTime deadline = std::min(totalEnd, intervalEnd);
    const auto next = logger_.NextEvent(now_);
    if (!next || *next > deadline) {
      now_ = std::max(now_, deadline);
      break;
    }
    now_ = *next;
  }
  return got;
}

int SimMemoryPort::DoReadPending(uint8_t* Buffer, int Count) {
  Require("Unable to read from com port");
  logger_.Advance(now_);
  return static_cast<int>(logger_.Take(Buffer, static_cast<size_t>(std::max(Count, 0)), now_));
}

int SimMemoryPort::DoWrite(const uint8_t* Buffer, int Count) {
  Require("Unable to write to com port");
  writes_.emplace_back(Buffer, Buffer + Count);
  logger_.Receive(Buffer, static_cast<size_t>(Count), now_);
  return Count;
}

} // namespace tarnwick::sim
