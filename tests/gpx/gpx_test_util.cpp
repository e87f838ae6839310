#include "gpx/gpx_test_util.hpp"

#include "logger/slot_blocks.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tarnwick::test {

using sim::RecordEncoder;

DateTime At(int h, int m, int s, int ms, int day) {
  return EncodeDate(2013, 11, day) + EncodeTime(h, m, s, ms);
}

RecordEncoder::FixRecord Fix(DateTime Time, double Lat, double Lon, double Ele, double Speed,
                             double Course) {
  RecordEncoder::FixRecord f;
  f.Time = Time;
  f.Latitude = Lat;
  f.Longitude = Lon;
  f.Elevation = Ele;
  f.Speed = Speed;
  f.Course = Course;
  f.EHPE = 3;
  return f;
}

RIGotUPointSlot Point900(const RecordEncoder::FixRecord& F, double PressureEle, uint8_t Flags) {
  return RecordEncoder::TrackPoint800(Flags, F, PressureEle, 0);
}

RIGotUPointSlot Point120(const RecordEncoder::FixRecord& F, int Sats, uint8_t Flags) {
  const uint32_t mask = Sats >= 32 ? 0xFFFFFFFFu : (1u << Sats) - 1;
  return RecordEncoder::TrackPoint100(Flags, F, mask, 0, 0, 0, 0);
}

RIGotUPointSlot IntRecord(uint8_t Flag, DateTime Start, int First) {
  std::array<uint8_t, 24> values{};
  for (int i = 0; i < 24; ++i) {
    values[static_cast<size_t>(i)] = static_cast<uint8_t>(First + i);
  }
  return RecordEncoder::ExtInt(Flag, Start, values, 0);
}

RIGotUPointSlot SpeedRecord(DateTime Start, double First) {
  std::array<double, 12> values{};
  for (int i = 0; i < 12; ++i) {
    values[static_cast<size_t>(i)] = First + i / 10.0;
  }
  return RecordEncoder::ExtSpeed(Start, values, 0);
}

namespace {
std::unique_ptr<TIGotUSlotBlocks> BlocksOf(const std::vector<RIGotUPointSlot>& Slots) {
  auto blocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Slots.size()), kSlotSize);
  for (size_t i = 0; i < Slots.size(); ++i) {
    std::copy(Slots[i].begin(), Slots[i].end(), blocks->DataBuffer() + i * kSlotSize);
  }
  return blocks;
}
} // namespace

TestImage Decode(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots) {
  const auto blocks = BlocksOf(Slots);
  TestImage image;
  image.Points = std::make_unique<TIGotUPoints>(RModelResult{{0, 1, Model}}, blocks.get());
  return image;
}

TIGotUWholeData ImageOf(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0, 1, Model};
  const auto count = static_cast<uint16_t>(Slots.size());
  image.Status.FCount.Data = {0, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
  image.ConfigBlock().assign(kBlockSize, 0xFF);
  image.SetBlocks(BlocksOf(Slots));
  return image;
}

std::string ReadText(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << FileName;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& FileName, const std::string& Text) {
  std::ofstream out(FileName, std::ios::binary);
  out << Text;
  ASSERT_TRUE(out.good()) << "cannot write " << FileName;
}

std::string FirstDifference(const std::string& Expected, const std::string& Actual) {
  if (Expected == Actual) {
    return {};
  }
  const auto lineAt = [](const std::string& s, size_t start) {
    const size_t end = s.find('\n', start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
  };
  size_t i = 0;
  size_t line = 1;
  size_t lineStart = 0;
  while (i < Expected.size() && i < Actual.size() && Expected[i] == Actual[i]) {
    if (Expected[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
    ++i;
  }
  std::ostringstream msg;
  msg << "byte " << i << ", line " << line << ", column " << i - lineStart + 1
      << ":\n  expected: \"" << lineAt(Expected, lineStart) << "\""
      << (i >= Expected.size() ? " (expected text ends here)" : "") << "\n  actual:   \""
      << lineAt(Actual, lineStart) << "\""
      << (i >= Actual.size() ? " (actual text ends here)" : "");
  return msg.str();
}

void ExpectGolden(const std::string& Name, const std::string& Actual) {
  const std::string path = std::string(TARNWICK_TEST_DATA_DIR) + "/gpx/" + Name;
  if (const char* update = std::getenv("TARNWICK_UPDATE_GOLDEN"); update && *update == '1') {
    WriteText(path, Actual);
    return;
  }
  const std::string expected = ReadText(path);
  const std::string diff = FirstDifference(expected, Actual);
  EXPECT_TRUE(diff.empty()) << Name << " differs at " << diff;
}

RunResult RunShell(const std::string& Command) {
  RunResult result;
  FILE* pipe = ::popen(Command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << Command;
    return result;
  }
  char buf[65536];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
    result.Out.append(buf, n);
  }
  const int status = ::pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool HasTool(const std::string& Name) {
  return std::system(("command -v " + Name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& Text) {
  std::string q = "'";
  for (const char c : Text) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

std::optional<std::string> SchemaDir() {
  namespace fs = std::filesystem;
  if (const char* env = std::getenv("TARNWICK_SCHEMA_DIR"); env && fs::is_directory(env)) {
    return std::string(env);
  }
  const fs::path shared = fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "schemas";
  if (fs::is_directory(shared)) {
    return fs::weakly_canonical(shared).string();
  }
  return std::nullopt;
}

void RecordingSink::OnProgress(int32_t Position, int32_t Max, bool& Abort) {
  ++ProgressCalls;
  Messages.push_back("progress " + std::to_string(Position) + "/" + std::to_string(Max));
  Abort = AbortAtCall > 0 && ProgressCalls >= AbortAtCall;
}

size_t CountOf(const std::string& Text, const std::string& Needle) {
  size_t n = 0;
  for (size_t pos = Text.find(Needle); pos != std::string::npos;
       pos = Text.find(Needle, pos + Needle.size())) {
    ++n;
  }
  return n;
}

} // namespace tarnwick::test
