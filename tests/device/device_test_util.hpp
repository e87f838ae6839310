#pragma once

#include "common/recording_progress.hpp"
#include "common/temp_dir.hpp"
#include "device/port.hpp"
#include "device/protocol.hpp"
#include "support/debug_log.hpp"
#include "support/errors.hpp"

#include <cerrno>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tarnwick::test {

/// A port that plays a script: each Read returns the next queued answer (empty when the
/// script is used up), and every write is recorded.
class ScriptPort : public TIgotUPort {
 public:
  /// Queues what one Read returns.
  void Answer(std::vector<uint8_t> Bytes) { answers_.push_back(std::move(Bytes)); }
  /// Makes every operation after the script ran out raise a transport error.
  void FailWhenEmpty() { failWhenEmpty_ = true; }

  void Open() override { ++Opens; }
  void Close() override { ++Closes; }
  void ClearBuffer() override {
    Check();
    ++Clears;
  }
  std::string Description() const override { return "script"; }

  std::vector<std::vector<uint8_t>> Writes;
  std::vector<int> ReadRequests;
  int Opens = 0;
  int Closes = 0;
  int Clears = 0;
  /// When set, writes of this call number (from 0) write only ShortBy bytes fewer.
  int ShortWriteCall = -1;

 protected:
  int DoRead(uint8_t* Buffer, int Count) override {
    Check();
    ReadRequests.push_back(Count);
    if (answers_.empty()) {
      return 0;
    }
    std::vector<uint8_t> a = std::move(answers_.front());
    answers_.pop_front();
    if (static_cast<int>(a.size()) > Count) {
      throw std::logic_error("script answer longer than the read");
    }
    std::copy(a.begin(), a.end(), Buffer);
    return static_cast<int>(a.size());
  }
  int DoReadPending(uint8_t* /*Buffer*/, int /*Count*/) override {
    Check();
    return 0;
  }
  int DoWrite(const uint8_t* Buffer, int Count) override {
    Check();
    Writes.emplace_back(Buffer, Buffer + Count);
    if (static_cast<int>(Writes.size()) - 1 == ShortWriteCall) {
      return Count - 5;
    }
    return Count;
  }

 private:
  void Check() const {
    if (failWhenEmpty_ && answers_.empty()) {
      throw ComPortError("Unable to read from com port", EIO);
    }
  }
  std::deque<std::vector<uint8_t>> answers_;
  bool failWhenEmpty_ = false;
};

/// A debug log in a temporary folder whose lines a test can read back without the time.
class TraceLog {
 public:
  TraceLog() : Log("trace", Dir.Path().string()) { Log.SetOutputLog(true); }
  /// Every line so far as "LEVEL: TEXT".
  std::vector<std::string> Lines() {
    Log.FlushLogs();
    std::vector<std::string> lines;
    std::ifstream in(Dir.File("trace.log"), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      // "yyyy-mm-dd hh:nn:ss.zzz: " is 25 characters.
      lines.push_back(line.size() > 25 ? line.substr(25) : line);
    }
    return lines;
  }
  /// How many lines are exactly Text (level and text).
  int Count(const std::string& Text) {
    int n = 0;
    for (const auto& l : Lines()) {
      n += l == Text ? 1 : 0;
    }
    return n;
  }

  TempDir Dir;
  TDebugLog Log;
};

/// Bytes from a hex text like "93 00 03".
inline std::vector<uint8_t> Hex(const std::string& Text) {
  std::vector<uint8_t> bytes;
  std::istringstream in(Text);
  std::string pair;
  while (in >> pair) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(pair, nullptr, 16)));
  }
  return bytes;
}

} // namespace tarnwick::test
