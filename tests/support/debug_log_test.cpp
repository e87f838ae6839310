#include "common/files.hpp"
#include "common/scoped_env.hpp"
#include "common/temp_dir.hpp"
#include "support/debug_log.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
namespace fs = std::filesystem;

// The permission bits of Name itself, or ~0 when it is missing.
unsigned ModeOf(const std::string& Name) {
  struct stat st {};
  return ::lstat(Name.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0U;
}

// Writes Lines at once through a log named "app" in Folder (empty: the default folder);
// where the log says its file is.
std::string Log(const std::string& Folder, const std::vector<std::string>& Lines) {
  TDebugLog log("app", Folder);
  log.SetOutputLog(true);
  log.SetImmediate(true);
  for (const auto& line : Lines) {
    log.AddLog(1, line);
  }
  return log.FileName();
}

// Whether something was written into the FIFO whose reading end is Reader.
bool FifoGotData(int Reader) {
  char byte = 0;
  return ::read(Reader, &byte, 1) > 0;
}

TEST(DebugLogFolderTest, TheLogGoesToTheUsersOwnStateFolderClosedToOthers) {
  test::TempDir dir;
  {
    test::ScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    const std::string file = Log("", {"where"});
    EXPECT_EQ(file, dir.File("state") + "/tarnwick/app.log");
    EXPECT_EQ(ModeOf(dir.File("state/tarnwick")), 0700U);
    EXPECT_EQ(ModeOf(file), 0600U);
    EXPECT_THAT(Texts(file), testing::ElementsAre("where"));
  }
  // A relative XDG_STATE_HOME counts as unset: the state folder under the home folder.
  test::ScopedEnv state("XDG_STATE_HOME", "relative/state");
  test::ScopedEnv home("HOME", dir.File("home"));
  EXPECT_EQ(TDebugLog::DefaultLogFolder(), dir.File("home") + "/.local/state/tarnwick");
  EXPECT_EQ(ModeOf(dir.File("home/.local/state/tarnwick")), 0700U);
}

TEST(DebugLogFolderTest, WithoutAStateFolderAFolderOfTheUsersOwnInTheTemporaryFolder) {
  test::TempDir dir;
  test::WriteFile(dir.File("file"), "");
  test::ScopedEnv state("XDG_STATE_HOME", dir.File("file/state")); // cannot be made
  test::ScopedEnv tmp("TMPDIR", dir.Path().string());
  const std::string own = dir.File("tarnwick-" + std::to_string(::geteuid()));
  EXPECT_EQ(Log("", {"fallback"}), own + "/app.log");
  EXPECT_EQ(ModeOf(own), 0700U);

  // A folder of that name that others may open, or a link to a folder, is nobody's own: the
  // lines are lost rather than left where others can read them.
  ASSERT_EQ(::chmod(own.c_str(), 0777), 0);
  EXPECT_EQ(TDebugLog::DefaultLogFolder(), "");
  fs::remove_all(own);
  fs::create_directory(dir.File("elsewhere"));
  ::chmod(dir.File("elsewhere").c_str(), 0700);
  fs::create_directory_symlink(dir.File("elsewhere"), own);
  EXPECT_EQ(Log("", {"lost"}), "");
  EXPECT_TRUE(fs::is_empty(dir.File("elsewhere")));
  EXPECT_FALSE(fs::exists(dir.File("app.log"))) << "never the shared folder itself";
}

// Between two lines the file is closed, and its name may be swapped for a link, a second name
// of another file, or a FIFO: the next line goes into none of them.
TEST_F(DebugLogTest, ANameSwappedBetweenLinesIsNotWrittenThrough) {
  const std::string victim = dir_.File("victim.txt");
  test::WriteFile(victim, "keep");
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const std::vector<std::pair<const char*, std::function<void()>>> swaps = {
      {"symbolic link", [&] { fs::create_symlink(victim, file_); }},
      {"hard link", [&] { fs::create_hard_link(victim, file_); }},
      {"FIFO", [&] { fs::rename(fifo, file_); }}};
  for (const auto& [what, plant] : swaps) {
    TDebugLog log("app", dir_.Path().string());
    log.SetOutputLog(true);
    log.SetImmediate(true);
    log.AddLog(1, "first");
    ASSERT_EQ(ModeOf(file_) & 0777, 0600U) << what;
    fs::remove(file_);
    plant();
    log.AddLog(1, "second");
    EXPECT_EQ(ReadFile(victim), "keep") << what;
  }
  EXPECT_FALSE(FifoGotData(reader));
  ::close(reader);
}

// A folder everyone may create names in but only their owner remove, like /tmp: another
// user's file or FIFO under the log's name cannot be removed, and must not be written to.
TEST_F(DebugLogTest, AnotherUsersFileOrFifoUnderTheNameIsNeverWritten) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "only root can plant a file of another user; the case then writes as one";
  }
  ::chmod(dir_.Path().c_str(), 0755);
  const std::string shared = dir_.File("shared");
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string planted = shared + "/app.log";
  const std::string pipe = shared + "/pipe.log";
  test::WriteFile(planted, "theirs\n");
  ASSERT_EQ(::chmod(planted.c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(pipe.c_str(), 0666), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
      ::_exit(2);
    }
    for (const char* id : {"app", "pipe"}) {
      TDebugLog log(id, shared);
      log.SetOutputLog(true);
      log.SetImmediate(true);
      log.AddLog(1, "35.68 N 139.77 E");
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(planted), "theirs\n");
  EXPECT_FALSE(FifoGotData(reader));
  ::close(reader);
}
#endif

} // namespace
} // namespace tarnwick
