#include "support/errors.hpp"
#include "support/file_util.hpp"

#include "common/files.hpp"
#include "common/temp_dir.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::FileNames;
using test::ReadFile;
using test::WriteFile;

#ifndef _WIN32
mode_t ModeOf(const std::string& name) {
  struct stat st {};
  EXPECT_EQ(::stat(name.c_str(), &st), 0) << name;
  return st.st_mode & 07777;
}
#endif

TEST(ReplacingFile, TargetChangesOnlyOnCommit) {
  test::TempDir dir;
  const std::string target = dir.File("out.txt");
  std::ofstream(target) << "old";
  {
    ReplacingFile f(target);
    f.Write("new content", 11);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_TRUE(std::filesystem::exists(f.TempName()));
    f.Commit();
  }
  EXPECT_EQ(ReadFile(target), "new content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ReplacingFile, AbandonedFileLeavesNoTraceAndKeepsTheOld) {
  test::TempDir dir;
  const std::string target = dir.File("out.txt");
  std::ofstream(target) << "old";
  try {
    ReplacingFile f(target);
    f.Write("partial", 7);
    throw std::runtime_error("stop half way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ReplacingFile, FailuresNameTheTarget) {
  test::TempDir dir;
  const std::string target = dir.File("no/such/folder/out.txt");
  try {
    ReplacingFile f(target);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.FileName(), target);
    EXPECT_NE(std::string(e.what()).find(target), std::string::npos);
  }
}

#ifndef _WIN32
TEST(ReplacingFile, WriteErrorIsReportedAndTheOldFileStays) {
  // A file-size limit makes write() fail the way a full disk does.
  test::TempDir dir;
  const std::string target = dir.File("out.bin");
  std::ofstream(target) << "old";
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  try {
    ReplacingFile f(target);
    const std::string big(5000, 'x');
    f.Write(big.data(), big.size());
    f.Commit();
  } catch (const FileError& e) {
    raised = true;
    EXPECT_EQ(e.FileName(), target);
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}
#endif

TEST(ReadWholeFile, MissingIsEmptyOthersRaise) {
  test::TempDir dir;
  EXPECT_FALSE(ReadWholeFile(dir.File("absent"), 100).has_value());
  std::ofstream(dir.File("f")) << "0123456789";
  EXPECT_EQ(ReadWholeFile(dir.File("f"), 100).value(), "0123456789");
  EXPECT_THROW(ReadWholeFile(dir.File("f"), 5), FileError);
  EXPECT_THROW(ReadWholeFile(dir.Path().string(), 100), FileError);
}

TEST(ReadWholeFile, IntoMemoryOfTheCallersTakesTheSizeOnceAndRaisesAsTheOther) {
  test::TempDir dir;
  const std::string content(100000, 'x');
  WriteFile(dir.File("f"), content);
  std::vector<std::pair<size_t, size_t>> asked;
  std::string room;
  const auto into = [&](const std::string& Name, size_t Max) {
    asked.clear();
    return ReadWholeFileInto(Name, Max, {}, [&](size_t Size, size_t Kept) {
      asked.emplace_back(Size, Kept);
      room.resize(Size, '?');
      return room.data();
    });
  };
  EXPECT_EQ(into(dir.File("f"), content.size()), content.size());
  EXPECT_EQ(room.substr(0, content.size()), content);
  EXPECT_EQ(asked, (std::vector<std::pair<size_t, size_t>>{{content.size() + 1, 0}}));
  EXPECT_FALSE(into(dir.File("absent"), 100).has_value());
  EXPECT_THROW(into(dir.File("f"), content.size() - 1), FileError);
#ifdef __linux__
  // A file that says it is empty and is not (the files of /proc) is read whole by growing
  // the room, which keeps what came before.
  const auto size = into("/proc/self/maps", size_t{1} << 24);
  ASSERT_TRUE(size.has_value());
  EXPECT_GT(asked.size(), 2u);
  EXPECT_EQ(asked[1], (std::pair<size_t, size_t>{2, 1}));
  EXPECT_NE(room.substr(0, *size).find("[stack]"), std::string::npos);
  EXPECT_EQ(room.find('?'), *size); // nothing left unwritten before the end
#endif
}

#ifndef _WIN32
TEST(ReadWholeFile, OptionsRefuseLinksAndFifosWithoutWaiting) {
  test::TempDir dir;
  WriteFile(dir.File("secret"), "private");
  fs::create_symlink(dir.File("secret"), dir.File("link"));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadWholeFile(dir.File("link"), 100, {.RegularOnly = true}).value(), "private");
  // Opening a FIFO without a writer would wait for ever; it is refused at once instead.
  for (const auto& [name, options, kind] :
       {std::tuple{dir.File("link"), ReadOptions{.NoFollow = true}, "a symbolic link"},
        std::tuple{dir.File("fifo"), ReadOptions{.RegularOnly = true}, "a FIFO"}}) {
    try {
      ReadWholeFile(name, 100, options);
      ADD_FAILURE() << name << " was read";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(kind), std::string::npos) << e.what();
    }
  }
}
#endif

#ifndef _WIN32
TEST(ReplacingFile, KeepsThePermissionBitsOfTheFileItReplaces) {
  test::TempDir dir;
  const std::string target = dir.File("out.dat");
  for (const mode_t mode : {0600, 0640, 0604, 0755, 0000}) {
    SCOPED_TRACE(mode);
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    ReplacingFile f(target);
    EXPECT_EQ(ModeOf(f.TempName()) & 077, mode & 077) << "no wider while it is written";
    f.Commit();
    EXPECT_EQ(ModeOf(target), mode);
  }
}
#endif

#ifndef _WIN32
TEST(ReplacingFile, ATargetSwappedForALinkWhileWrittenIsNotReplaced) {
  test::TempDir dir;
  WriteFile(dir.File("secret"), "private");
  WriteFile(dir.File("out"), "old");
  ReplacingFile f(dir.File("out"));
  f.Write("new", 3);
  fs::remove(dir.File("out"));
  fs::create_symlink(dir.File("secret"), dir.File("out"));
  EXPECT_THROW(f.Commit(), FileError);
  EXPECT_TRUE(fs::is_symlink(dir.File("out")));
  EXPECT_EQ(ReadFile(dir.File("secret")), "private");
}
#endif

#ifndef _WIN32
// Whether CheckTarget refuses Target for want of permission.
bool RefusedForPermission(const std::string& Target) {
  try {
    ReplacingFile::CheckTarget(Target);
  } catch (const FileError& e) {
    return std::string(e.what()).find("Permission denied") != std::string::npos;
  }
  return false;
}
#endif

#ifndef _WIN32
TEST(ReplacingFile, UnwritableFolderIsRefused) {
  test::TempDir dir;
  ::chmod(dir.Path().c_str(), 0755);
  const std::string ro = dir.File("ro");
  fs::create_directory(ro);
  ::chmod(ro.c_str(), 0555);
  if (::geteuid() != 0) {
    EXPECT_TRUE(RefusedForPermission(ro + "/out"));
  } else {
    // Root may write anywhere; the check runs as an ordinary user in a child.
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && RefusedForPermission(ro + "/out")
                  ? 0
                  : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a user may not write there";
  }
  ::chmod(ro.c_str(), 0700);
}
#endif

#ifndef _WIN32
TEST(ReplacingFile, RemovesOnlyLeftoverTemporariesOfItsOwnTarget) {
  test::TempDir dir;
  const std::string target = dir.File("trip.gpx");
  const pid_t dead = ::fork(); // a process that has ended, as a killed run leaves its number
  if (dead == 0) {
    ::_exit(0);
  }
  ::waitpid(dead, nullptr, 0);
  const std::string deadOwner = ReplacingFile::TemporaryName(target, dead, 0);
  const std::string liveOwner = ReplacingFile::TemporaryName(target, 1, 0);
  const std::string ancient = ReplacingFile::TemporaryName(target, 1, 1);
  const std::string otherTarget = ReplacingFile::TemporaryName(dir.File("other.gpx"), dead, 0);
  for (const auto& name : {deadOwner, liveOwner, ancient, otherTarget}) {
    WriteFile(name, "left over");
  }
  const std::string linkNamedLikeOne = ReplacingFile::TemporaryName(target, dead, 2);
  fs::create_symlink(dir.File("mine"), linkNamedLikeOne);
  const timespec twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0},
                                  {::time(nullptr) - 2 * 86400, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, ancient.c_str(), twoDaysAgo, 0), 0);

  ReplacingFile(target).Commit();
  EXPECT_FALSE(fs::exists(deadOwner)) << "its process is gone";
  EXPECT_FALSE(fs::exists(ancient)) << "older than any run";
  EXPECT_TRUE(fs::exists(liveOwner)) << "its process may still be writing it";
  EXPECT_TRUE(fs::exists(otherTarget));
  EXPECT_TRUE(fs::is_symlink(linkNamedLikeOne));
}
#endif

TEST(ReplacingFile, SignalPathRemovesTheTemporariesOfLiveFiles) {
  test::TempDir dir;
  // More files than the registry has places, one after the other: places are given back.
  for (int i = 0; i < 40; ++i) {
    ReplacingFile f(dir.File("f"));
    if (i % 2 == 0) {
      f.Commit();
    }
  }
  WriteFile(dir.File("a"), "old a");
  {
    ReplacingFile a(dir.File("a"));
    ReplacingFile b(dir.File("b"));
    a.Write("new", 3);
    RemoveTemporaryFiles();
#ifndef _WIN32
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"a", "f"}));
#endif
    // What the signal took away cannot be committed, and the old file stays.
    EXPECT_THROW(a.Commit(), FileError);
    EXPECT_EQ(ReadFile(dir.File("a")), "old a");
  }
  // Windows may keep a removed name until the last handle of the file closes.
  EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"a", "f"}));
}

TEST(ReplacingFile, RevertPutsBackWhatACommitReplaced) {
  test::TempDir dir;
  const std::string old = dir.File("old.bin");
  const std::string fresh = dir.File("fresh.bin");
  WriteFile(old, "old content");
  for (const auto& target : {old, fresh}) {
    ReplacingFile f(target);
    f.Write("new", 3);
    f.CommitRevertibly();
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_TRUE(f.Revert());
  }
  EXPECT_EQ(ReadFile(old), "old content");
  EXPECT_FALSE(fs::exists(fresh)) << "there was nothing to put back";
  ReplacingFile(old).CommitRevertibly();
  EXPECT_EQ(FileNames(dir.Path()), std::set<std::string>{"old.bin"}) << "the second name went";
}

} // namespace
} // namespace tarnwick
