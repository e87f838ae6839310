#include "common/files.hpp"
#include "common/temp_dir.hpp"
#include "support/debug_log.hpp"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using test::ReadFile;

// The texts of the lines of a log file, without time and level.
std::vector<std::string> Texts(const std::string& name) {
  std::vector<std::string> texts;
  const std::string all = ReadFile(name);
  size_t start = 0;
  while (start < all.size()) {
    const size_t end = all.find("\r\n", start);
    const std::string line = all.substr(start, end - start);
    const std::string rest = line.substr(25); // after "yyyy-mm-dd hh:nn:ss.zzz: "
    texts.push_back(rest.substr(rest.find(": ") + 2));
    start = end == std::string::npos ? all.size() : end + 2;
  }
  return texts;
}

class DebugLogTest : public testing::Test {
 protected:
  test::TempDir dir_;
  std::string file_ = dir_.File("app.log");
};

#ifndef _WIN32
TEST_F(DebugLogTest, OffLogsNothingButStillFeedsTheDebuggerOutput) {
  setenv("TARNWICK_DEBUG_OUTPUT", "1", 1);
  testing::internal::CaptureStderr();
  {
    TDebugLog log("app", dir_.Path().string());
    log.AddLogF(1, "value {}", 42);
    EXPECT_EQ(log.BufferedCount(), 0u);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  unsetenv("TARNWICK_DEBUG_OUTPUT");
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_TRUE(std::regex_search(
      err, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}: 1: value 42\n$)")))
      << err;
}
#endif

TEST_F(DebugLogTest, LinesHaveTimeLevelAndTextEndedByCrLf) {
  {
    TDebugLog log("app", dir_.Path().string());
    log.SetOutputLog(true);
    log.SetImmediate(true);
    log.AddLog(0, "Read Data Request length=3");
    log.AddLogF(1, "Read Count={} [{:02X} ]", 1, 0x93);
    EXPECT_EQ(log.FileName(), file_);
    // Immediate: on disk before the log is destroyed.
    const std::string now = ReadFile(file_);
    EXPECT_TRUE(std::regex_match(
        now,
        std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}: 0: Read Data Request length=3\r\n)"
                   R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}: 1: Read Count=1 \[93 \]\r\n)")))
        << now;
  }
}

TEST_F(DebugLogTest, BufferedLinesAreWrittenInOrderWhenFlushed) {
  TDebugLog log("app", dir_.Path().string());
  log.SetOutputLog(true);
  for (int i = 0; i < 5; ++i) {
    log.AddLog(1, "line " + std::to_string(i));
  }
  EXPECT_EQ(log.BufferedCount(), 5u);
  EXPECT_FALSE(std::filesystem::exists(file_));
  log.SetOutputLog(false); // switching off writes the buffer first
  EXPECT_THAT(Texts(file_), testing::ElementsAre("line 0", "line 1", "line 2", "line 3", "line 4"));
  log.AddLog(1, "not kept");
  log.SetOutputLog(true); // switching on writes nothing
  EXPECT_EQ(Texts(file_).size(), 5u);
  log.AddLog(1, "line 5");
  log.SetImmediate(false); // setting Immediate flushes, even unchanged
  EXPECT_EQ(Texts(file_).back(), "line 5");
  log.AddLog(1, "line 6");
  log.ClearLogs();
  log.FlushLogs();
  EXPECT_EQ(Texts(file_).size(), 6u);
}

TEST_F(DebugLogTest, DestroyingWritesTheBuffer) {
  {
    TDebugLog log("app", dir_.Path().string());
    log.SetOutputLog(true);
    log.AddLog(1, "a");
    log.AddLog(1, "b");
  }
  EXPECT_THAT(Texts(file_), testing::ElementsAre("a", "b"));
}

TEST_F(DebugLogTest, FirstWriteReplacesTheOldFileLaterWritesAppend) {
  {
    std::ofstream old(file_, std::ios::binary);
    old << "from the last run\n";
  }
  TDebugLog idle("app", dir_.Path().string());
  idle.SetOutputLog(true);
  idle.FlushLogs(); // nothing written: the old file stays
  EXPECT_EQ(ReadFile(file_), "from the last run\n");

  TDebugLog log("app", dir_.Path().string());
  log.SetOutputLog(true);
  log.SetImmediate(true);
  log.AddLog(1, "first");
  log.AddLog(1, "second");
  EXPECT_THAT(Texts(file_), testing::ElementsAre("first", "second"));
}

TEST_F(DebugLogTest, AlwaysOpenKeepsTheFileOpenUntilSwitchedOff) {
  TDebugLog log("app", dir_.Path().string());
  log.SetOutputLog(true);
  log.SetImmediate(true);
  log.AddLog(1, "x");
  EXPECT_FALSE(log.IsFileOpen());
  log.SetAlwaysOpen(true);
  log.AddLog(1, "y");
  EXPECT_TRUE(log.IsFileOpen());
  log.SetAlwaysOpen(false);
  EXPECT_FALSE(log.IsFileOpen());
  EXPECT_THAT(Texts(file_), testing::ElementsAre("x", "y"));
}

#ifndef _WIN32
TEST_F(DebugLogTest, APlantedLinkIsReplacedNotFollowed) {
  const std::string victim = dir_.File("victim.txt");
  {
    std::ofstream v(victim);
    v << "keep";
  }
  ASSERT_EQ(::symlink(victim.c_str(), file_.c_str()), 0);
  {
    TDebugLog log("app", dir_.Path().string());
    log.SetOutputLog(true);
    log.SetImmediate(true);
    log.AddLog(1, "trace");
  }
  EXPECT_EQ(ReadFile(victim), "keep");
  struct stat st {};
  ASSERT_EQ(::lstat(file_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}
#endif

TEST_F(DebugLogTest, UnwritableFolderLosesLinesSilently) {
  TDebugLog log("app", dir_.File("missing/folder"));
  log.SetOutputLog(true);
  log.SetImmediate(true);
  EXPECT_NO_THROW(log.AddLog(1, "lost"));
  EXPECT_NO_THROW(log.AddLog(1, "lost too"));
}

#ifndef _WIN32
TEST(DebugLogFolderTest, TemporaryFolderComesFromTheEnvironment) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", "/some/where", 1);
  EXPECT_EQ(TDebugLog::GetLogFolder(), "/some/where");
  if (old != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}
#endif

} // namespace
} // namespace tarnwick
