#include "support/errors.hpp"
#include "support/file_util.hpp"

#include "common/temp_dir.hpp"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

// The names in Dir, without the folder.
std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

mode_t ModeOf(const std::string& name) {
  struct stat st {};
  EXPECT_EQ(::stat(name.c_str(), &st), 0) << name;
  return st.st_mode & 07777;
}

// The number of a process that has ended, as a run killed earlier leaves it.
pid_t DeadProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

TEST(ReplacingFile, TargetChangesOnlyOnCommit) {
  test::TTempDir dir;
  const std::string target = dir.File("out.txt");
  std::ofstream(target) << "old";
  {
    TReplacingFile f(target);
    f.Write("new content", 11);
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_TRUE(std::filesystem::exists(f.TempName()));
    f.Commit();
  }
  EXPECT_EQ(Slurp(target), "new content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ReplacingFile, AbandonedFileLeavesNoTraceAndKeepsTheOld) {
  test::TTempDir dir;
  const std::string target = dir.File("out.txt");
  std::ofstream(target) << "old";
  try {
    TReplacingFile f(target);
    f.Write("partial", 7);
    throw std::runtime_error("stop half way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ReplacingFile, FailuresNameTheTarget) {
  test::TTempDir dir;
  const std::string target = dir.File("no/such/folder/out.txt");
  try {
    TReplacingFile f(target);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(e.FileName(), target);
    EXPECT_NE(std::string(e.what()).find(target), std::string::npos);
  }
}

TEST(ReplacingFile, WriteErrorIsReportedAndTheOldFileStays) {
  // A file-size limit makes write() fail the way a full disk does.
  test::TTempDir dir;
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
    TReplacingFile f(target);
    const std::string big(5000, 'x');
    f.Write(big.data(), big.size());
    f.Commit();
  } catch (const EFileError& e) {
    raised = true;
    EXPECT_EQ(e.FileName(), target);
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ReadWholeFile, MissingIsEmptyOthersRaise) {
  test::TTempDir dir;
  EXPECT_FALSE(ReadWholeFile(dir.File("absent"), 100).has_value());
  std::ofstream(dir.File("f")) << "0123456789";
  EXPECT_EQ(ReadWholeFile(dir.File("f"), 100).value(), "0123456789");
  EXPECT_THROW(ReadWholeFile(dir.File("f"), 5), EFileError);
  EXPECT_THROW(ReadWholeFile(dir.Path().string(), 100), EFileError);
}

TEST(ReadWholeFile, OptionsRefuseLinksAndSpecialFilesWithoutWaiting) {
  test::TTempDir dir;
  Put(dir.File("secret"), "private");
  fs::create_symlink(dir.File("secret"), dir.File("link"));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);

  EXPECT_EQ(ReadWholeFile(dir.File("link"), 100).value(), "private") << "links are followed";
  EXPECT_EQ(ReadWholeFile(dir.File("link"), 100, {.RegularOnly = true}).value(), "private");
  const struct {
    std::string name;
    ReadOptions options;
    const char* kind;
  } refused[] = {
      {dir.File("link"), {.NoFollow = true}, "a symbolic link"},
      {dir.File("link"), {.RegularOnly = true, .NoFollow = true}, "a symbolic link"},
      // Opening a FIFO without a writer would wait for ever; it is refused at once instead.
      {dir.File("fifo"), {.RegularOnly = true}, "a FIFO"},
      {"/dev/zero", {.RegularOnly = true}, "a character device"},
  };
  for (const auto& c : refused) {
    try {
      ReadWholeFile(c.name, 1 << 20, c.options);
      ADD_FAILURE() << c.name << " was read";
    } catch (const EFileError& e) {
      EXPECT_EQ(e.FileName(), c.name);
      EXPECT_NE(std::string(e.what()).find(c.kind), std::string::npos) << e.what();
    }
  }
}

TEST(ReplacingFile, KeepsThePermissionBitsOfTheFileItReplaces) {
  test::TTempDir dir;
  const std::string target = dir.File("out.dat");
  for (const mode_t mode : {0600, 0640, 0604, 0755, 0444, 0000}) {
    SCOPED_TRACE(mode);
    Put(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    TReplacingFile f(target);
    // Private while it is written, whatever the old file allowed.
    EXPECT_EQ(ModeOf(f.TempName()) & 077, mode & 077);
    f.Write("new", 3);
    f.Commit();
    EXPECT_EQ(ModeOf(target), mode);
    EXPECT_EQ(Slurp(target), "new");
  }
  // A new file is made as any other: 0666 less the umask.
  const mode_t saved = ::umask(027);
  {
    TReplacingFile f(dir.File("fresh"));
    f.Commit();
  }
  ::umask(saved);
  EXPECT_EQ(ModeOf(dir.File("fresh")), 0640);
}

TEST(ReplacingFile, RefusesTargetsThatAreNotRegularFilesAndTouchesNothing) {
  test::TTempDir dir;
  Put(dir.File("secret"), "private");
  fs::create_symlink(dir.File("secret"), dir.File("link"));
  fs::create_symlink("/proc/self/fd/1", dir.File("stdout"));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  fs::create_directory(dir.File("folder"));
  Put(dir.File("plain"), "");
  // A null device of the test's own: a fault here must not replace the system's /dev/null.
  const bool device = ::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const auto before = Names(dir.Path());

  struct Case {
    std::string target;
    const char* message;
  };
  std::vector<Case> cases = {
      {dir.File("link"), "it is a symbolic link, not a regular file"},
      {dir.File("stdout"), "it is a symbolic link"},
      {dir.File("fifo"), "it is a FIFO"},
      {dir.File("folder"), "it is a folder"},
      {dir.File("missing/out"), "No such file or directory"},
      {dir.File("plain/out"), "Not a directory"},
  };
  if (device) {
    cases.push_back({dir.File("null"), "it is a character device"});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    try {
      TReplacingFile f(c.target);
      ADD_FAILURE() << "accepted";
    } catch (const EFileError& e) {
      EXPECT_EQ(e.FileName(), c.target);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_THROW(TReplacingFile::CheckTarget(c.target), EFileError);
  }
  EXPECT_EQ(Names(dir.Path()), before);
  EXPECT_EQ(Slurp(dir.File("secret")), "private");
  EXPECT_TRUE(fs::is_symlink(dir.File("link")));

  // A target that turns into a link while it is written is not replaced either.
  Put(dir.File("swapped"), "old");
  TReplacingFile f(dir.File("swapped"));
  f.Write("new", 3);
  fs::remove(dir.File("swapped"));
  fs::create_symlink(dir.File("secret"), dir.File("swapped"));
  EXPECT_THROW(f.Commit(), EFileError);
  EXPECT_TRUE(fs::is_symlink(dir.File("swapped")));
  EXPECT_EQ(Slurp(dir.File("secret")), "private");
}

// Whether CheckTarget refuses Target for want of permission.
bool RefusedForPermission(const std::string& Target) {
  try {
    TReplacingFile::CheckTarget(Target);
  } catch (const EFileError& e) {
    return std::string(e.what()).find("Permission denied") != std::string::npos;
  }
  return false;
}

TEST(ReplacingFile, UnwritableFolderIsRefused) {
  test::TTempDir dir;
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
      const bool refused =
          ::setgid(65534) == 0 && ::setuid(65534) == 0 && RefusedForPermission(ro + "/out");
      ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a user may not write there";
  }
  ::chmod(ro.c_str(), 0700);
}

TEST(ReplacingFile, TemporaryNamesAreShortHiddenAndBesideTheTarget) {
  test::TTempDir dir;
  // The longest name a folder can hold; the temporary must fit as well.
  const std::string target = dir.File(std::string(251, 'n') + ".gpx");
  {
    TReplacingFile f(target);
    const fs::path temp(f.TempName());
    EXPECT_EQ(temp.parent_path(), dir.Path());
    EXPECT_EQ(temp.filename().string().front(), '.');
    EXPECT_LT(temp.filename().string().size(), 40U);
    f.Write("x", 1);
    f.Commit();
  }
  EXPECT_EQ(Slurp(target), "x");
  // A relative name gets a temporary in the current folder.
  const std::string relative = TReplacingFile::TemporaryName("out.gpx", 42, 7);
  EXPECT_EQ(relative.find('/'), std::string::npos);
  EXPECT_NE(TReplacingFile::TemporaryName("a.gpx", 42, 7),
            TReplacingFile::TemporaryName("b.gpx", 42, 7))
      << "the name tells whose temporary it is";
}

TEST(ReplacingFile, RemovesOnlyLeftoverTemporariesOfItsOwnTarget) {
  test::TTempDir dir;
  const std::string target = dir.File("trip.gpx");
  const pid_t dead = DeadProcess();
  const std::string deadOwner = TReplacingFile::TemporaryName(target, dead, 0);
  const std::string liveOwner = TReplacingFile::TemporaryName(target, 1, 0);
  const std::string liveButAncient = TReplacingFile::TemporaryName(target, 1, 1);
  const std::string otherTarget = TReplacingFile::TemporaryName(dir.File("other.gpx"), dead, 0);
  const std::string notATemporary = dir.File(".tw-notes");
  const std::string linkWithTheName = TReplacingFile::TemporaryName(target, dead, 2);
  for (const auto& name : {deadOwner, liveOwner, liveButAncient, otherTarget, notATemporary}) {
    Put(name, "left over");
  }
  fs::create_symlink(dir.File("trip.gpx.keep"), linkWithTheName);
  Put(dir.File("trip.gpx.keep"), "mine");
  const timespec twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0},
                                  {::time(nullptr) - 2 * 86400, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, liveButAncient.c_str(), twoDaysAgo, 0), 0);

  {
    TReplacingFile f(target);
    f.Commit();
  }
  EXPECT_FALSE(fs::exists(deadOwner)) << "its process is gone";
  EXPECT_FALSE(fs::exists(liveButAncient)) << "older than any run";
  EXPECT_TRUE(fs::exists(liveOwner)) << "its process may still be writing it";
  EXPECT_TRUE(fs::exists(otherTarget));
  EXPECT_TRUE(fs::exists(notATemporary));
  EXPECT_TRUE(fs::is_symlink(linkWithTheName));
  EXPECT_EQ(Slurp(dir.File("trip.gpx.keep")), "mine");
  EXPECT_EQ(TReplacingFile::RemoveStaleTemporaries(target), 0);
}

TEST(ReplacingFile, SignalPathRemovesTheTemporariesOfLiveFiles) {
  test::TTempDir dir;
  // More files than the registry has places, one after the other: places are given back.
  for (int i = 0; i < 40; ++i) {
    TReplacingFile f(dir.File("f" + std::to_string(i % 3)));
    if (i % 2 == 0) {
      f.Commit();
    }
  }
  Put(dir.File("a"), "old a");
  auto a = std::make_unique<TReplacingFile>(dir.File("a"));
  auto b = std::make_unique<TReplacingFile>(dir.File("b"));
  a->Write("new", 3);
  ASSERT_TRUE(fs::exists(a->TempName()));
  ASSERT_TRUE(fs::exists(b->TempName()));
  RemoveTemporaryFiles();
  EXPECT_FALSE(fs::exists(a->TempName()));
  EXPECT_FALSE(fs::exists(b->TempName()));
  // What the signal took away cannot be committed, and the old file stays.
  EXPECT_THROW(a->Commit(), EFileError);
  EXPECT_EQ(Slurp(dir.File("a")), "old a");
  a.reset();
  b.reset();
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"a", "f0", "f1", "f2"}));
}

TEST(ReplacingFile, RevertPutsBackWhatACommitReplaced) {
  test::TTempDir dir;
  const std::string old = dir.File("old.bin");
  Put(old, "old content");
  ::chmod(old.c_str(), 0640);
  {
    TReplacingFile f(old);
    f.Write("new", 3);
    f.CommitRevertibly();
    EXPECT_EQ(Slurp(old), "new");
    EXPECT_TRUE(f.Revert());
  }
  EXPECT_EQ(Slurp(old), "old content");
  EXPECT_EQ(ModeOf(old), 0640U);

  const std::string fresh = dir.File("fresh.bin");
  {
    TReplacingFile f(fresh);
    f.CommitRevertibly();
    EXPECT_TRUE(f.Revert());
  }
  EXPECT_FALSE(fs::exists(fresh)) << "there was nothing to put back";

  {
    TReplacingFile f(old);
    f.Write("kept", 4);
    f.CommitRevertibly();
  }
  EXPECT_EQ(Slurp(old), "kept");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"old.bin"})
      << "the old file's second name went";
}

} // namespace
} // namespace tarnwick
