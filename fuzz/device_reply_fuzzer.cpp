// A whole download through the protocol engine and the device control, with the logger's
// side of the wire taken from the fuzzer: the reply stream, how it is cut into reads, short
// writes, a cancel, a port that fails. Nothing may crash, write past a buffer or hang.
//
// Input: flags, a seed for the read sizes, retry counts, then the reply stream.
//   flags bits 0-1: chunk size 8, 16, 0 or 5; bit 2: fast drain; bits 3-4: read sizes
//   (0: as much as asked, else random); bit 5: short writes now and then; bit 6: cancel at
//   a progress report; bit 7: the port fails once the stream is used up.
#include "device/control.hpp"
#include "device/download.hpp"
#include "device/port.hpp"
#include "support/debug_log.hpp"
#include "support/errors.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace tarnwick;

class FuzzPort : public TIgotUPort {
 public:
  FuzzPort(const uint8_t* data, size_t size, uint8_t flags, uint32_t seed)
      : data_(data), size_(size), flags_(flags), state_(seed | 1) {}

  // Simulated time: a read that ends short waited for the read time-out, a full one took a
  // moment; the engine's pauses add theirs. Keeps the engine's deadlines and its wait for a
  // quiet line from spinning on the real clock.
  std::chrono::microseconds Now() const { return now_; }
  void Sleep(std::chrono::milliseconds Time) { now_ += Time; }

  void Open() override {}
  void Close() override {}
  void ClearBuffer() override { Check(); }
  std::string Description() const override { return "fuzz"; }

 protected:
  int DoRead(uint8_t* Buffer, int Count) override { return Take(Buffer, Count, false); }
  int DoReadPending(uint8_t* Buffer, int Count) override { return Take(Buffer, Count, true); }
  int DoWrite(const uint8_t* /*Buffer*/, int Count) override {
    Check();
    if ((flags_ & 0x20) != 0 && Next() % 16 == 0) {
      return static_cast<int>(Next() % static_cast<uint32_t>(Count + 1));
    }
    return Count;
  }

 private:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  void Check() const {
    if ((flags_ & 0x80) != 0 && pos_ >= size_) {
      throw ComPortError("Unable to read from com port", EIO);
    }
  }
  int Take(uint8_t* Buffer, int Count, bool pending) {
    Check();
    const size_t left = size_ - pos_;
    size_t n = 0;
    if ((flags_ & 0x18) == 0) {
      n = pending ? 0 : std::min<size_t>(static_cast<size_t>(Count), left);
    } else {
      const uint32_t r = Next();
      n = r % 4 == 0 ? 0 : std::min<size_t>(r % static_cast<uint32_t>(Count + 1), left);
    }
    std::copy_n(data_ + pos_, n, Buffer);
    pos_ += n;
    if (!pending) {
      now_ += n < static_cast<size_t>(Count) ? std::chrono::milliseconds(200)
                                             : std::chrono::milliseconds(1);
    }
    return static_cast<int>(n);
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint8_t flags_;
  uint32_t state_;
  std::chrono::microseconds now_{0};
};

class FuzzProgress : public IProgressInterface {
 public:
  explicit FuzzProgress(int cancelAt) : cancelAt_(cancelAt) {}
  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override {
    if (Position < 0 || Position > Max) {
      std::abort();
    }
    Abort = Position == cancelAt_;
  }
  void SetMessage1(const std::string& /*Msg*/) override {}
  void SetMessage2(const std::string& /*Msg*/) override {}

 private:
  int cancelAt_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) {
    return 0;
  }
  const uint8_t flags = data[0];
  const uint8_t seed = data[1];
  const uint8_t retries = data[2];
  static const int kChunk[4] = {8, 16, 0, 5};

  TDebugLog log("fuzz"); // file output stays off: only the trace texts are built
  FuzzPort port(data + 3, size - 3, flags, 0x9E3779B9U * (seed + 1U));
  port.SetChunkSize(kChunk[flags & 3]);
  port.SetDebugLog(&log);
  TIGotUProtocol protocol;
  protocol.SetPort(&port);
  protocol.SetSleeper([&port](std::chrono::milliseconds t) { port.Sleep(t); });
  protocol.SetClock([&port] { return port.Now(); });
  protocol.SetFastDrain((flags & 4) != 0);
  protocol.SetReadRetryCount((retries & 0x80) != 0 ? 5 : (retries & 3));
  protocol.SetCommandRetryCount((retries & 0x40) != 0 ? 8 : ((retries >> 2) & 3));
  TIGotUControl control(protocol);

  const auto progress = std::make_shared<FuzzProgress>((flags & 0x40) != 0 ? seed % 4 : -1);
  const auto job = TIGotUDownload::Create(control);
  try {
    if (job->Execute(progress)) {
      const auto image = job->TakeWholeData();
      const auto* blocks = image->Blocks();
      // A finished download has read everything: no empty configuration block any more.
      if (blocks == nullptr || image->ConfigLength() != static_cast<int>(kBlockSize) ||
          blocks->NumberOfSlots() != image->Status.NumberOfPoints()) {
        std::abort();
      }
    }
  } catch (const Error&) {
    // "Read Error !!", "Initialize Error ! Please Retry.", an unreadable status part or
    // configuration block, a line that never goes quiet, or the port's failure.
  }
  if (control.Progress() != nullptr) {
    std::abort(); // the job must restore the control
  }
  return 0;
}
