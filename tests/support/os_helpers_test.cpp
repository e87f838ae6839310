#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/memory_region.hpp"
#include "support/os_clock.hpp"
#include "support/os_files.hpp"
#include "support/os_process.hpp"

#include "common/files.hpp"
#include "common/temp_dir.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

std::string ReadAll(const FileHandle& file) {
  std::string text(64, '\0');
  const auto n = ReadUpTo(file, std::span(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  EXPECT_FALSE(n.Error) << n.Error.message();
  text.resize(n.Value);
  return text;
}

TEST(MemoryRegion, HandsOutAlignedBlocksThatDoNotOverlapUntilItIsFull) {
  MemoryRegion region(size_t{4} << 20);
#ifdef _WIN32
  // Windows has no region to give: its callers take ordinary memory.
  EXPECT_FALSE(region);
  EXPECT_EQ(region.Allocate(16), nullptr);
#else
  ASSERT_TRUE(region);
  std::vector<std::pair<char*, size_t>> blocks;
  for (const size_t size :
       {size_t{1}, size_t{3}, size_t{16}, size_t{17}, size_t{32768}, size_t{1} << 20, size_t{5}}) {
    auto* block = static_cast<char*>(region.Allocate(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
    std::memset(block, static_cast<int>(blocks.size() + 1), size);
    blocks.emplace_back(block, size);
  }
  // Each block still holds what was written into it: none overlaps another.
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto [block, size] = blocks[i];
    EXPECT_EQ(block[0], static_cast<char>(i + 1));
    EXPECT_EQ(block[size - 1], static_cast<char>(i + 1));
  }
  // What does not fit is refused, a size that would overflow the rounding too; what still
  // fits is not.
  EXPECT_EQ(region.Allocate(region.Capacity()), nullptr);
  EXPECT_EQ(region.Allocate(SIZE_MAX - 3), nullptr);
  EXPECT_NE(region.Allocate(region.Capacity() - region.Used() - 64), nullptr);
  MemoryRegion moved = std::move(region);
  EXPECT_FALSE(region);
  EXPECT_EQ(region.Allocate(1), nullptr);
  EXPECT_EQ(blocks[0].first[0], 1);
  EXPECT_TRUE(moved);
#endif
}

TEST(OsFiles, AReaderOfTheOldFileKeepsItsContentAcrossAReplacement) {
  test::TempDir dir;
  const std::string target = dir.File("track.gpx");
  WriteFile(target, "old content");
  const OpenedFile reader = OpenForReading(target);
  ASSERT_TRUE(reader.File.IsOpen()) << reader.Error.message();

  ReplacingFile replacement(target);
  replacement.Write("new", 3);
#ifdef _WIN32
  // Only the rename of Windows 10 replaces a file that is open; older systems and Wine
  // refuse while the reader holds it.
  try {
    replacement.Commit();
  } catch (const FileError& e) {
    EXPECT_EQ(ReadAll(reader.File), "old content");
    EXPECT_EQ(ReadFile(target), "old content") << "a failed replacement leaves the old file";
    GTEST_SKIP() << "this system cannot replace an open file: " << e.what();
  }
#else
  replacement.Commit();
#endif

  EXPECT_EQ(ReadAll(reader.File), "old content");
  EXPECT_EQ(ReadFile(target), "new");
}

TEST(OsFiles, CreateNewRefusesAnExistingNameAndWritesWhatItIsGiven) {
  test::TempDir dir;
  const std::string name = dir.File("a.tmp");
  auto created = CreateNewFile(name);
  ASSERT_TRUE(created) << created.Error.message();
  const std::string text(100000, 'x'); // more than one write of a pipe or a small buffer
  EXPECT_FALSE(WriteAll(created.Value, text));
  EXPECT_FALSE(Flush(created.Value));
  EXPECT_FALSE(created.Value.Close());
  EXPECT_EQ(ReadFile(name), text);

  const auto again = CreateNewFile(name);
  EXPECT_FALSE(again.Value.IsOpen());
  EXPECT_TRUE(IsAlreadyExists(again.Error)) << again.Error.message();
  EXPECT_EQ(ReadFile(name), text) << "the existing file is untouched";
}

TEST(OsFiles, ReadingStopsAtTheEndAndReadAtRefusesRangesPastIt) {
  test::TempDir dir;
  const std::string name = dir.File("ten");
  WriteFile(name, "0123456789");
  const OpenedFile file = OpenForReading(name);
  ASSERT_TRUE(file.File.IsOpen());
  std::array<uint8_t, 4> four{};
  EXPECT_FALSE(ReadAt(file.File, 6, four));
  EXPECT_EQ(std::string(four.begin(), four.end()), "6789");
  EXPECT_TRUE(ReadAt(file.File, 7, four)) << "three bytes left, four asked for";
  EXPECT_EQ(ReadAll(file.File), "0123456789") << "ReadAt leaves the reading position alone";
}

TEST(OsFiles, MissingFilesAndFoldersAreNotFoundWithATextForIt) {
  test::TempDir dir;
  for (const std::string& name : {dir.File("none"), dir.File("no/such/folder/file")}) {
    const OpenedFile opened = OpenForReading(name);
    EXPECT_FALSE(opened.File.IsOpen());
    EXPECT_TRUE(IsNotFound(opened.Error)) << name << ": " << opened.Error.message();
    const std::string text = SystemErrorText(opened.Error);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_FALSE(StatusOf(name, true)) << name;
  }
}

TEST(OsFiles, StatusTellsKindSizeAndIdentity) {
  test::TempDir dir;
  const std::string a = dir.File("a");
  const std::string b = dir.File("b");
  WriteFile(a, "12345");
  WriteFile(b, "12345");
  const auto status = StatusOf(a, true);
  ASSERT_TRUE(status);
  EXPECT_EQ(status.Value.Kind, FileKind::Regular);
  EXPECT_EQ(status.Value.Size, 5U);
  EXPECT_TRUE(status.Value.OwnedByMe);
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  EXPECT_LT(std::abs(status.Value.ModifiedSeconds - now), 120) << "seconds since 1970";
  EXPECT_EQ(StatusOf(dir.Path().string(), true).Value.Kind, FileKind::Folder);

  // Equal content is not the same file; another name of one file is.
  EXPECT_FALSE(IsSameFile(a, b));
  EXPECT_TRUE(IsSameFile(a, (dir.Path() / "." / "a").string()));
  ASSERT_FALSE(MakeHardLink(a, dir.File("a2")));
  EXPECT_TRUE(IsSameFile(a, dir.File("a2")));
  EXPECT_FALSE(IsSameFile(a, dir.File("missing")));
}

TEST(OsFiles, TimesAreSetAndReadToTheirStepAndNeverThroughALink) {
  test::TempDir dir;
  const std::string name = dir.File("photo.jpg");
  WriteFile(name, "x");
  // Multiples of 100 ns, Windows' step; one before 1970 as well.
  for (const FileTimes& times :
       {FileTimes{int64_t{1'000'000'000'123'456'700}, int64_t{999'999'999'987'654'300}},
        FileTimes{-int64_t{86'400} * 1'000'000'000 - 100, 0}}) {
    ASSERT_FALSE(SetFileTimes(name, times));
    const auto back = TimesOf(name);
    ASSERT_TRUE(back);
    EXPECT_EQ(back.Value.AccessedNs, times.AccessedNs);
    EXPECT_EQ(back.Value.ModifiedNs, times.ModifiedNs);
  }
  EXPECT_TRUE(IsNotFound(TimesOf(dir.File("missing")).Error));
  EXPECT_TRUE(IsNotFound(SetFileTimes(dir.File("missing"), {})));
#ifndef _WIN32
  // A link's own times change; what it points to keeps its.
  const std::string link = dir.File("link.jpg");
  fs::create_symlink(name, link);
  const auto before = TimesOf(name).Value;
  ASSERT_FALSE(SetFileTimes(link, {int64_t{5} * 1'000'000'000, int64_t{7} * 1'000'000'000}));
  EXPECT_EQ(TimesOf(link).Value.ModifiedNs, int64_t{7} * 1'000'000'000);
  EXPECT_EQ(TimesOf(name).Value.ModifiedNs, before.ModifiedNs);
#endif
}

TEST(OsFiles, ListFolderGivesEveryEntryButTheDotNames) {
  test::TempDir dir;
  WriteFile(dir.File("one"), "");
  WriteFile(dir.File(".hidden"), "");
  fs::create_directory(dir.File("sub"));
  const auto names = ListFolder(dir.Path().string());
  ASSERT_TRUE(names);
  EXPECT_EQ(std::set<std::string>(names.Value.begin(), names.Value.end()),
            (std::set<std::string>{"one", ".hidden", "sub"}));
  EXPECT_TRUE(IsNotFound(ListFolder(dir.File("none")).Error));
}

TEST(OsFiles, FolderWritableCheckTellsWhyNotAndLeavesNothingBehind) {
  test::TempDir dir;
  WriteFile(dir.File("file"), "");
  EXPECT_FALSE(CheckFolderWritable(dir.Path().string()));
  EXPECT_TRUE(IsNotFound(CheckFolderWritable(dir.File("none"))));
  EXPECT_EQ(CheckFolderWritable(dir.File("file")), std::errc::not_a_directory);
  EXPECT_EQ(test::FileNames(dir.Path()), std::set<std::string>{"file"});
}

TEST(OsFiles, TheLockRefusesASecondLockerUntilTheFirstCloses) {
  test::TempDir dir;
  const std::string name = dir.File("tarnwick.log");
  WriteFile(name, "");
  auto first = OpenForAppending(name);
  auto second = OpenForAppending(name);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(TryLockExclusive(first.Value));
  EXPECT_FALSE(TryLockExclusive(second.Value));
  first.Value.Close();
  EXPECT_TRUE(TryLockExclusive(second.Value));
}

TEST(OsFiles, APrivateFolderIsMadeForTheUserAloneAndCheckedSo) {
  test::TempDir dir;
  const std::string folder = dir.File("own");
  EXPECT_TRUE(IsNotFound(CheckPrivateFolder(folder)));
  EXPECT_FALSE(CreatePrivateFolder(folder));
  EXPECT_FALSE(CheckPrivateFolder(folder));
  EXPECT_FALSE(CreatePrivateFolder(folder)) << "an existing folder is no error";
  EXPECT_TRUE(IsNotFound(CreatePrivateFolder(dir.File("missing/own")))) << "no parents made";
  WriteFile(dir.File("file"), "");
  EXPECT_EQ(CheckPrivateFolder(dir.File("file")), std::errc::not_a_directory);
#ifndef _WIN32
  // Whatever the umask lets through, others get nothing.
  const mode_t saved = ::umask(0);
  EXPECT_FALSE(CreatePrivateFolder(dir.File("open")));
  ::umask(saved);
  EXPECT_EQ(fs::status(dir.File("open")).permissions(), fs::perms::owner_all);
  EXPECT_FALSE(CheckPrivateFolder(dir.File("open")));
  ASSERT_EQ(::chmod(folder.c_str(), 0750), 0);
  EXPECT_EQ(CheckPrivateFolder(folder), std::errc::permission_denied) << "a group may read it";
  fs::create_directory_symlink(dir.File("open"), dir.File("link"));
  EXPECT_EQ(CheckPrivateFolder(dir.File("link")), std::errc::too_many_symbolic_link_levels);
#endif
}

TEST(OsFiles, AppendingTakesOnlyARegularFileOfOursWithOneName) {
  test::TempDir dir;
  const std::string name = dir.File("app.log");
  WriteFile(name, "a");
  auto opened = OpenForAppending(name);
  ASSERT_TRUE(opened) << opened.Error.message();
  EXPECT_FALSE(WriteAll(opened.Value, "b"));
  opened.Value.Close();
  EXPECT_EQ(ReadFile(name), "ab");
  EXPECT_TRUE(IsNotFound(OpenForAppending(dir.File("none")).Error));
  ASSERT_FALSE(MakeHardLink(name, dir.File("second")));
  EXPECT_EQ(OpenForAppending(name).Error, std::errc::permission_denied);
#ifndef _WIN32
  fs::create_symlink(dir.File("second"), dir.File("link"));
  EXPECT_EQ(OpenForAppending(dir.File("link")).Error, std::errc::too_many_symbolic_link_levels);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(OpenForAppending(dir.File("fifo")).Error, std::errc::invalid_argument);
  EXPECT_EQ(OpenForAppending("/dev/null").Error, std::errc::invalid_argument);
#endif
  EXPECT_EQ(ReadFile(dir.File("second")), "ab");
}

TEST(OsSystem, AWakeSignalIsSetByNotifyUntilCleared) {
  const WakeSignal wake;
  ASSERT_TRUE(wake.IsOpen());
#ifdef _WIN32
  const auto isSet = [&] { return ::WaitForSingleObject(wake.Handle(), 0) == WAIT_OBJECT_0; };
#else
  const auto isSet = [&] {
    pollfd fd{wake.Handle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1;
  };
#endif
  EXPECT_FALSE(isSet());
  for (int i = 0; i < 70000; ++i) {
    wake.Notify(); // never blocks, even past what a pipe holds
  }
  EXPECT_TRUE(isSet());
  wake.Clear();
  EXPECT_FALSE(isSet());
  wake.Notify();
  EXPECT_TRUE(isSet());
}

TEST(OsFiles, RemovingAndReplacingByName) {
  test::TempDir dir;
  const std::string from = dir.File("from");
  const std::string to = dir.File("to");
  WriteFile(from, "new");
  WriteFile(to, "old");
  EXPECT_FALSE(MoveReplacing(from, to));
  EXPECT_EQ(ReadFile(to), "new");
  EXPECT_FALSE(fs::exists(from));
  EXPECT_TRUE(IsNotFound(MoveReplacing(from, to)));
  EXPECT_FALSE(RemoveFile(to));
  EXPECT_TRUE(IsNotFound(RemoveFile(to)));
  WriteFile(from, "x");
  EXPECT_TRUE(RemoveFileUnsafeContext(from.c_str()));
  EXPECT_FALSE(RemoveFileUnsafeContext(from.c_str()));
}

TEST(OsSystem, TemporaryFolderProgramAndClock) {
  const std::string temp = TemporaryFolder();
  EXPECT_EQ(StatusOf(temp, true).Value.Kind, FileKind::Folder) << temp;

  const std::string exe = ExecutablePath();
  EXPECT_EQ(fs::path(exe).stem().string(), "support_tests") << exe;
  EXPECT_EQ(StatusOf(exe, true).Value.Kind, FileKind::Regular) << exe;

  const WallClockTime now = WallClockNow();
  const auto expected = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  EXPECT_LE(std::abs(now.Seconds - expected), 2);
  EXPECT_GE(now.Nanoseconds, 0);
  EXPECT_LT(now.Nanoseconds, 1'000'000'000);

  EXPECT_TRUE(IsProcessAlive(CurrentProcessId()));
}

#ifndef _WIN32

TEST(OsFiles, NoFollowAndRegularOnlyRefuseWhatTheyName) {
  test::TempDir dir;
  const std::string file = dir.File("file");
  const std::string link = dir.File("link");
  const std::string fifo = dir.File("fifo");
  WriteFile(file, "x");
  fs::create_symlink(file, link);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(OpenForReading(link, {.NoFollow = true}).Refused, FileKind::SymbolicLink);
  EXPECT_TRUE(OpenForReading(link).File.IsOpen()) << "links are followed by default";
  EXPECT_EQ(OpenForReading(fifo, {.RegularOnly = true}).Refused, FileKind::Fifo);
  EXPECT_EQ(StatusOf(link, false).Value.Kind, FileKind::SymbolicLink);
  EXPECT_EQ(StatusOf(link, true).Value.Kind, FileKind::Regular);

  // A link planted under a new file's name is not written through.
  fs::create_symlink(dir.File("target"), dir.File("planted"));
  EXPECT_TRUE(IsAlreadyExists(CreateNewFile(dir.File("planted")).Error));
  EXPECT_FALSE(fs::exists(dir.File("target")));
}

TEST(OsSystem, AReapedChildIsNotAlive) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(IsProcessAlive(child));
}

// Runs Body in a child process and returns its wait status.
template <class F>
int InChild(F body) {
  const pid_t child = ::fork();
  if (child == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

std::atomic<int> gEvents{0};

TEST(OsSystem, EndHandlerSeesEachEventAndCanEndByIt) {
  // The handler returning lets the process go on; each signal reaches it as its event.
  const int survived = InChild([] {
    InstallEndHandler([](EndEvent e) { gEvents.fetch_or(1 << static_cast<int>(e)); });
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
      ::raise(s);
    }
    ::_exit(gEvents.load());
  });
  ASSERT_TRUE(WIFEXITED(survived));
  EXPECT_EQ(WEXITSTATUS(survived), 0b111);

  // Ending by the event from inside the handler ends the process by that signal, as the
  // shell expects, even though the handler holds the signal back.
  const int ended = InChild([] {
    InstallEndHandler([](EndEvent e) { EndByEvent(e); });
    ::raise(SIGTERM);
    ::_exit(3);
  });
  ASSERT_TRUE(WIFSIGNALED(ended)) << ended;
  EXPECT_EQ(WTERMSIG(ended), SIGTERM);
}

#endif

} // namespace
} // namespace tarnwick
