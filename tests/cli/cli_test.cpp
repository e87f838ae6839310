// The tarnwick tool run as a user runs it: output compared with golden files, errors checked.
#include "logger/whole_data.hpp"
#include "sim/sample_image.hpp"

#include "common/golden.hpp"
#include "common/run_process.hpp"
#include "common/slots.hpp"
#include "common/temp_dir.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::RunProcess;
using test::TProcessResult;

TProcessResult Cli(std::vector<std::string> args, const std::string& dir = "") {
  args.insert(args.begin(), TARNWICK_CLI);
  return RunProcess(args, dir);
}

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class CliGolden : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = new test::TTempDir;
    for (auto [model, name] : {std::pair{"gt120", "gt120"}, std::pair{"gt900", "gt900"}}) {
      const auto r = Cli(
          {"sample", "--model", model, "--points", "600", "--seed", "11", "-o", Dir->File(name)});
      ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }
  static void Check(const std::string& golden, std::vector<std::string> args) {
    const auto r = Cli(std::move(args), Dir->Path().string());
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const std::string diff = test::CompareGolden("cli/" + golden, r.Out);
    EXPECT_TRUE(diff.empty()) << diff;
  }
  static test::TTempDir* Dir;
};

test::TTempDir* CliGolden::Dir = nullptr;

TEST_F(CliGolden, GT120) {
  Check("gt120_info.txt", {"info", "gt120"});
  Check("gt120_info.json", {"info", "gt120.dat", "--json"});
  Check("gt120_tracks.txt", {"tracks", "gt120.bin"});
  Check("gt120_points_1.txt", {"points", "gt120", "--track", "1"});
  Check("gt120_waypoints_1.txt", {"waypoints", "gt120", "--track", "1"});
  Check("gt120_dump.txt", {"dump", "gt120"});
  Check("gt120_config.txt", {"config", "gt120"});
  Check("gt120_logmsgs.txt", {"logmsgs", "gt120"});
  Check("gt120_samples_hr_1.txt", {"samples", "gt120", "--track", "1", "--kind", "hr"});
}

TEST_F(CliGolden, GT900) {
  Check("gt900_info.txt", {"info", "gt900"});
  Check("gt900_tracks.txt", {"tracks", "gt900"});
  Check("gt900_points_1.txt", {"points", "gt900", "-t", "1"});
  Check("gt900_samples_hr_1.txt", {"samples", "gt900", "--track", "1", "--kind", "hr"});
  Check("gt900_samples_cadence_1.txt", {"samples", "gt900", "--track", "1", "--kind", "cadence"});
  Check("gt900_samples_speed_1.txt", {"samples", "gt900", "--track", "1", "--kind", "speed"});
  Check("gt900_dump.txt", {"dump", "gt900"});
  Check("gt900_logmsgs.txt", {"logmsgs", "gt900"});
}

// Every command works on images of every size of interest; tables have one line per record.
TEST(CliSizes, EveryCommandOnEverySize) {
  test::TTempDir dir;
  for (const char* model : {"gt120", "gt900"}) {
    for (int n : {0, 1, 128, 129, 65535}) {
      const std::string base = dir.File(std::string(model) + "_" + std::to_string(n));
      SCOPED_TRACE(base);
      ASSERT_EQ(
          Cli({"sample", "--model", model, "--points", std::to_string(n), "-o", base}).ExitCode, 0);
      const auto info = Cli({"info", base, "--json"});
      ASSERT_EQ(info.ExitCode, 0) << info.Err;
      EXPECT_NE(info.Out.find("\"count\":" + std::to_string(n)), std::string::npos) << info.Out;
      const auto dump = Cli({"dump", base});
      ASSERT_EQ(dump.ExitCode, 0);
      EXPECT_EQ(Lines(dump.Out), static_cast<size_t>(n) + 1);
      EXPECT_EQ(Lines(Cli({"config", base}).Out), 256U);
      EXPECT_EQ(Cli({"logmsgs", base}).ExitCode, 0);
      const auto tracks = Cli({"tracks", base});
      ASSERT_EQ(tracks.ExitCode, 0);
      const size_t trackCount = Lines(tracks.Out) - 1;
      EXPECT_EQ(trackCount == 0, n == 0);
      size_t points = 0;
      for (size_t t = 1; t <= trackCount; ++t) {
        const auto p = Cli({"points", base, "--track", std::to_string(t)});
        ASSERT_EQ(p.ExitCode, 0) << p.Err;
        points += Lines(p.Out) - 1;
        for (const char* kind : {"hr", "cadence", "speed"}) {
          EXPECT_EQ(Cli({"samples", base, "--track", std::to_string(t), "--kind", kind}).ExitCode,
                    0);
        }
        EXPECT_EQ(Cli({"waypoints", base, "--track", std::to_string(t)}).ExitCode, 0);
        if (n > 1000) {
          break; // the big images are covered by dump; one track is enough here
        }
      }
      if (n <= 1000) {
        EXPECT_LE(points, static_cast<size_t>(n));
      }
    }
  }
}

TEST(CliErrors, FilesAndArguments) {
  test::TTempDir dir;
  const auto missing = Cli({"info", dir.File("nothing")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Out, "");
  EXPECT_EQ(Lines(missing.Err), 1U);
  EXPECT_NE(missing.Err.find("nothing.dat"), std::string::npos) << missing.Err;

  ASSERT_EQ(Cli({"sample", "--model", "gt120", "--points", "10", "-o", dir.File("t")}).ExitCode, 0);
  std::filesystem::remove(dir.File("t.bin"));
  const auto noBin = Cli({"tracks", dir.File("t")});
  EXPECT_EQ(noBin.ExitCode, 1);
  EXPECT_NE(noBin.Err.find("t.bin"), std::string::npos) << noBin.Err;

  std::ofstream(dir.File("bad.dat")) << "[Count]\r\nDumpStr=00XY00\r\n";
  std::ofstream(dir.File("bad.bin")) << "";
  const auto bad = Cli({"dump", dir.File("bad")});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_EQ(Lines(bad.Err), 1U);
  EXPECT_NE(bad.Err.find("'$XY' is not a valid integer value"), std::string::npos) << bad.Err;
  EXPECT_NE(bad.Err.find("bad.dat"), std::string::npos) << bad.Err;

  ASSERT_EQ(Cli({"sample", "--model", "gt120", "--points", "10", "-o", dir.File("u")}).ExitCode, 0);
  const auto noTrack = Cli({"points", dir.File("u"), "--track", "9"});
  EXPECT_EQ(noTrack.ExitCode, 1);
  EXPECT_NE(noTrack.Err.find("no track 9"), std::string::npos) << noTrack.Err;
  const auto version = Cli({"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_NE(version.Out.find("tarnwick 0.9.4.0"), std::string::npos);
  for (const char* cmd : {"info", "tracks", "points", "waypoints", "samples", "dump", "config",
                          "logmsgs", "sample"}) {
    const auto help = Cli({cmd, "--help"});
    EXPECT_EQ(help.ExitCode, 0) << cmd;
    EXPECT_NE(help.Out.find("Usage"), std::string::npos) << cmd;
  }
}

// A command line the program cannot take exits 2 with one line that names the problem and
// points to the help of the command in question.
TEST(CliErrors, UsageErrorsExitTwoWithOneLine) {
  test::TTempDir dir;
  ASSERT_EQ(Cli({"sample", "--model", "gt120", "--points", "10", "-o", dir.File("u")}).ExitCode, 0);
  const std::string u = dir.File("u");
  const struct {
    std::vector<std::string> Args;
    std::string Says;
    std::string Help;
  } cases[] = {
      {{}, "a command is required", "tarnwick --help"},
      {{"frobnicate", u}, "unknown command \"frobnicate\"", "tarnwick --help"},
      {{"points"}, "BASE is required", "tarnwick points --help"},
      {{"points", u, "--track", "0"}, "tracks count from 1, not 0", "tarnwick points --help"},
      {{"points", u, "--track", "x"}, "\"x\" is not a number", "tarnwick points --help"},
      {{"export", u, "--track", "0", "-o", dir.File("x.gpx")},
       "tracks count from 1",
       "tarnwick export --help"},
      {{"export", u}, "give one of --track N, --all or --split", "tarnwick export --help"},
      {{"samples", u, "--track", "1", "--kind", "pulse"}, "--kind", "tarnwick samples --help"},
      {{"sample", "--model", "gt120", "--points", "65536", "-o", dir.File("v")},
       "--points",
       "tarnwick sample --help"},
      {{"download"}, "--output is required", "tarnwick download --help"},
      {{"download", "-o", dir.File("d"), "--device", "0"},
       "loggers count from 1",
       "tarnwick download --help"},
      {{"info", u, "--bogus\x1B[2J"}, "--bogus\\x1B[2J", "tarnwick info --help"},
  };
  for (const auto& c : cases) {
    const auto r = Cli(c.Args);
    const std::string what = c.Args.empty() ? "(none)" : c.Args[0];
    EXPECT_EQ(r.ExitCode, 2) << what << ": " << r.Err;
    EXPECT_EQ(Lines(r.Err), 1U) << what << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << what << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Help), std::string::npos) << what << ": " << r.Err;
    EXPECT_EQ(r.Out, "") << what;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("v.dat")));
}

// Texts from files reach the terminal with their control characters escaped: in tables, in
// the log-message list and in error messages alike.
TEST(CliErrors, ControlCharactersFromFilesAreEscaped) {
  test::TTempDir dir;
  TIGotUWholeData image = sim::GenerateSampleImage({sim::TSampleFamily::GT900, 50, 5});
  auto blocks = std::make_unique<TIGotUSlotBlocks>(50, 32);
  std::copy_n(image.Blocks()->DataBuffer(), 50 * 32, blocks->DataBuffer());
  // A log message with ESC (C0), DEL and 0x9B (CSI, a C1 control once read as Latin-1).
  const auto msg = test::TSlot{}.Flags(0xF1).At(6, 0, 0).Text("A\x1B[2J\x7F\x9B"
                                                              "31mB");
  std::copy_n(msg.Ptr(), 32, blocks->DataBuffer() + 10 * 32);
  image.SetBlocks(std::move(blocks));
  image.SaveToFile(dir.File("ctl"));

  const auto isRaw = [](const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) {
                         const auto b = static_cast<unsigned char>(c);
                         return (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F;
                       }) ||
           text.find("\xC2\x9B") != std::string::npos;
  };
  const auto logs = Cli({"logmsgs", dir.File("ctl")});
  ASSERT_EQ(logs.ExitCode, 0) << logs.Err;
  EXPECT_NE(logs.Out.find("A\\x1B[2J\\x7F\\u009B31mB"), std::string::npos) << logs.Out;
  EXPECT_FALSE(isRaw(logs.Out));
  const auto dump = Cli({"dump", dir.File("ctl")});
  ASSERT_EQ(dump.ExitCode, 0) << dump.Err;
  EXPECT_EQ(Lines(dump.Out), 51U);
  EXPECT_FALSE(isRaw(dump.Out));

  std::ofstream(dir.File("esc.dat")) << "[Count]\r\nDumpStr=00\x1B]0;pwned\x07\x9B\r\n";
  std::ofstream(dir.File("esc.bin")) << "";
  const auto bad = Cli({"info", dir.File("esc")});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_EQ(Lines(bad.Err), 1U) << bad.Err;
  EXPECT_NE(bad.Err.find("'$\\x1B]' is not a valid integer value"), std::string::npos) << bad.Err;
  EXPECT_FALSE(isRaw(bad.Err));
}

TEST(CliErrors, UndecodableCellsShowTheErrorAndTheTableGoesOn) {
  test::TTempDir dir;
  TIGotUWholeData image = sim::GenerateSampleImage({sim::TSampleFamily::GT120, 50, 5});
  // Record 3 gets month 13, record 4 the 30th of February.
  auto blocks = std::make_unique<TIGotUSlotBlocks>(50, 32);
  std::copy_n(image.Blocks()->DataBuffer(), 50 * 32, blocks->DataBuffer());
  blocks->DataBuffer()[3 * 32 + 1] = 0xDD;
  blocks->DataBuffer()[4 * 32 + 1] = 0xD2;
  blocks->DataBuffer()[4 * 32 + 2] = 0xF3;
  blocks->DataBuffer()[4 * 32 + 3] = 0x80;
  image.SetBlocks(std::move(blocks));
  image.SaveToFile(dir.File("odd"));
  const auto r = Cli({"dump", dir.File("odd")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(Lines(r.Out), 51U);
  EXPECT_NE(r.Out.find("\n4\t" + std::string(r.Out.substr(r.Out.find("\n4\t") + 3, 2)) +
                       "\tInvalid Month 13 in DD\t"),
            std::string::npos)
      << r.Out.substr(0, 600);
  EXPECT_NE(r.Out.find("\n5\t00\tInvalid argument to date encode\t"), std::string::npos);
  const auto tracks = Cli({"points", dir.File("odd"), "--track", "1"});
  EXPECT_EQ(tracks.ExitCode, 0);
  EXPECT_NE(tracks.Out.find("Invalid Month 13 in DD"), std::string::npos);
}

} // namespace
} // namespace tarnwick
