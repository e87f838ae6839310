#include "support/errors.hpp"
#include "support/file_util.hpp"

#include "common/temp_dir.hpp"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace tarnwick {
namespace {

std::string Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
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

} // namespace
} // namespace tarnwick
