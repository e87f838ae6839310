// `tarnwick simulate` and `tarnwick download` as separate programs, talking through a
// pseudo-terminal exactly as the download talks to a logger on USB.
#include "common/child_process.hpp"
#include "common/files.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::ReadFile;
using test::RunProcess;

const std::string kTarnwick = TARNWICK_CLI_PATH;

// Each test announces its simulators in a folder of its own and keeps its files there.
class E2ETest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string sims = dir_.File("sims");
    setenv("TARNWICK_SIM_DIR", sims.c_str(), 1);
  }
  void TearDown() override { unsetenv("TARNWICK_SIM_DIR"); }

  // A running simulator and its terminal's path.
  struct Simulator {
    std::unique_ptr<ChildProcess> Process;
    std::string Port;
  };

  // Starts a simulator.
  Simulator Simulate(std::vector<std::string> args) {
    args.insert(args.begin(), {kTarnwick, "simulate"});
    auto sim = std::make_unique<ChildProcess>(args);
    std::string path = sim->FirstLine(60s);
    EXPECT_EQ(path.rfind("/dev/", 0), 0u) << sim->Err();
    return {std::move(sim), std::move(path)};
  }

  // Writes the reference image of the generator with the same spec as the simulator's.
  std::string Reference(const std::string& model, const std::string& points,
                        const std::string& seed) {
    const std::string base = dir_.File("ref-" + model + "-" + points + "-" + seed);
    const auto r = RunProcess(
        {kTarnwick, "sample", "--model", model, "--points", points, "--seed", seed, "-o", base});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    return base;
  }

  // The downloaded pair is the generator's, its status file with the download time added
  // (a moment of this test's run).
  void ExpectSamePair(const std::string& got, const std::string& want) {
    const std::string gotBin = ReadFile(got + ".bin");
    EXPECT_FALSE(gotBin.empty());
    EXPECT_TRUE(gotBin == ReadFile(want + ".bin")) << "block files differ";
    const std::string dat = ReadFile(got + ".dat");
    const std::string head = ReadFile(want + ".dat") + "\r\n[Download]\r\nTimeUTC=";
    ASSERT_EQ(dat.substr(0, head.size()), head);
    const std::string stamp = dat.substr(head.size());
    ASSERT_EQ(stamp.size(), 22u) << stamp;
    EXPECT_EQ(stamp.substr(20), "\r\n");
    // Whole seconds, so the stamp may lie up to a second before the test's start.
    EXPECT_GE(stamp.substr(0, 20), UtcStamp(start_ - std::chrono::seconds(1)));
    EXPECT_LE(stamp.substr(0, 20), UtcStamp(std::chrono::system_clock::now()));
  }

  static std::string UtcStamp(std::chrono::system_clock::time_point When,
                              const char* Format = "%Y-%m-%dT%H:%M:%SZ") {
    const std::time_t t = std::chrono::system_clock::to_time_t(When);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, Format, &utc);
    return text;
  }

  const std::chrono::system_clock::time_point start_ = std::chrono::system_clock::now();

  test::TempDir dir_;
};

struct Case {
  const char* Model;
  const char* Chunk;
  const char* Faults;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.Model << " chunk " << c.Chunk << (*c.Faults != '\0' ? " faults " : "") << c.Faults;
}

class DownloadE2E : public E2ETest, public testing::WithParamInterface<Case> {};

TEST_P(DownloadE2E, DownloadedPairIsTheSimulatedMemory) {
  const Case c = GetParam();
  auto [sim, port] =
      Simulate({"--model", c.Model, "--points", "1500", "--seed", "21", "--chunk-size", c.Chunk,
                "--rate", "1048576", "--faults", c.Faults, "--no-register"});
  const std::string got = dir_.File("got");
  const auto r = RunProcess(
      {kTarnwick, "download", "--port", port, "--chunk-size", c.Chunk, "-o", got}, "", "", 300);
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find("wrote " + got + ".dat and " + got + ".bin: 1500 records"),
            std::string::npos)
      << r.Out;
  // Not a terminal: plain lines, stage texts and status texts included.
  EXPECT_NE(r.Err.find("\nDownloading...\n"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Reading Block 00C000 (91)%"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find('\r'), std::string::npos);
  ExpectSamePair(got, Reference(c.Model, "1500", "21"));

  sim->Signal(SIGINT);
  EXPECT_EQ(sim->Wait(60s), 0);
  if (std::string(c.Faults).empty()) {
    EXPECT_NE(sim->Err().find(" 0 faults"), std::string::npos) << sim->Err();
  } else {
    // The seed gives faults on this run; the image above is still exact.
    EXPECT_EQ(sim->Err().find(" 0 faults"), std::string::npos) << sim->Err();
  }
}

INSTANTIATE_TEST_SUITE_P(FamiliesAndChunks, DownloadE2E,
                         testing::Values(Case{"gt120", "8", ""}, Case{"gt900", "16", ""},
                                         Case{"gt900", "8", ""}, Case{"gt120", "16", ""},
                                         Case{"gt900", "8", "random=0.12"},
                                         Case{"gt120", "16", "random=0.12,late@3,stray@7"}),
                         [](const auto& info) {
                           return std::string(info.param.Model) + "Chunk" + info.param.Chunk +
                                  (std::string(info.param.Faults).empty() ? "" : "Faults");
                         });

// A reply later than the header's time-out is taken by the retry, whose own reply must not
// become the next block. Four late replies (configuration and three blocks), each chunk size.
class LateReplyE2E : public E2ETest, public testing::WithParamInterface<const char*> {};

TEST_P(LateReplyE2E, LateRepliesLeaveTheImageExact) {
  auto [sim, port] =
      Simulate({"--model", "gt120", "--points", "1500", "--seed", "21", "--chunk-size", GetParam(),
                "--faults", "late:650@5,late:650@9,late:700@13,late:1250@18", "--no-register"});
  const auto r = RunProcess(
      {kTarnwick, "download", "--port", port, "--chunk-size", GetParam(), "-o", dir_.File("late")},
      "", "", 300);
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  ExpectSamePair(dir_.File("late"), Reference("gt120", "1500", "21"));
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, LateReplyE2E, testing::Values("8", "16"));

// A logger used today writes this year with four bits, 16 years early; the download records
// when it happened, and the tables and the GPX read this decade's dates from it. Asked for
// the years as recorded, they show what the logger wrote.
TEST_F(E2ETest, ADownloadTodayReadsTodaysYears) {
  const auto day = std::chrono::system_clock::now() - std::chrono::hours(24 * 9);
  const std::string date = UtcStamp(day, "%Y-%m-%d");
  const int year = std::stoi(date.substr(0, 4));
  const std::string recorded = std::to_string(2000 + (year - 2000) % 16) + date.substr(4);
  auto [sim, port] = Simulate({"--model", "gt900", "--points", "800", "--seed", "5", "--start",
                               date, "--chunk-size", "16", "--rate", "0", "--no-register"});
  const std::string got = dir_.File("today");
  ASSERT_EQ(RunProcess({kTarnwick, "download", "--port", port, "--chunk-size", "16", "-o", got}, "",
                       "", 300)
                .ExitCode,
            0);

  const auto tracks = RunProcess({kTarnwick, "tracks", got});
  EXPECT_NE(tracks.Out.find("\n1\t" + date + " 06:21:52\t"), std::string::npos) << tracks.Out;
  const auto asRecorded = RunProcess({kTarnwick, "tracks", got, "--year-era", "recorded"});
  EXPECT_NE(asRecorded.Out.find("\n1\t" + recorded + " 06:21:52\t"), std::string::npos)
      << asRecorded.Out;
  const auto info = RunProcess({kTarnwick, "info", got});
  const int thisYear = std::stoi(UtcStamp(std::chrono::system_clock::now(), "%Y"));
  EXPECT_NE(info.Out.find("Year era: years read as " + std::to_string(thisYear - 15) + "\u2013" +
                          std::to_string(thisYear) + ": downloaded "),
            std::string::npos)
      << info.Out;

  const auto gpx = RunProcess({kTarnwick, "export", got, "--track", "1", "--utc", "-o", "-"});
  ASSERT_EQ(gpx.ExitCode, 0) << gpx.Err;
  EXPECT_NE(gpx.Out.find("<time>" + date + "T06:21:52.000Z</time>"), std::string::npos);
  EXPECT_EQ(gpx.Out.find("<time>" + recorded), std::string::npos);
}

// A status part or the configuration block that cannot be read (a negative count for each of
// its 8 attempts) fails the download naming the part; the pair already there stays as it was.
class UnreadablePartE2E : public E2ETest,
                          public testing::WithParamInterface<std::tuple<const char*, int>> {};

TEST_P(UnreadablePartE2E, NothingIsWrittenAndTheOldPairStays) {
  const auto [chunk, first] = GetParam();
  const std::string base = Reference("gt900", "200", "5");
  const std::string oldDat = ReadFile(base + ".dat");
  const std::string oldBin = ReadFile(base + ".bin");
  std::string faults = "negative@" + std::to_string(first);
  for (int n = first + 1; n < first + 8; ++n) {
    faults += ",negative@" + std::to_string(n);
  }
  auto [sim, port] = Simulate({"--chunk-size", chunk, "--faults", faults, "--no-register"});
  const auto r = RunProcess(
      {kTarnwick, "download", "--port", port, "--chunk-size", chunk, "-o", base}, "", "", 300);
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  const std::string part = first == 2 ? "model" : "configuration block";
  EXPECT_NE(r.Err.find("Cannot read the logger's " + part + "\n"), std::string::npos) << r.Err;
  EXPECT_TRUE(ReadFile(base + ".dat") == oldDat && ReadFile(base + ".bin") == oldBin);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2); // no temps
}

INSTANTIATE_TEST_SUITE_P(Parts, UnreadablePartE2E,
                         testing::Values(std::tuple("8", 2), std::tuple("16", 5)));

TEST_F(E2ETest, DevicesListsASimulatorAndDownloadFindsIt) {
  auto [sim, port] = Simulate({"--model", "gt900", "--points", "200", "--chunk-size", "16"});
  const auto list = RunProcess({kTarnwick, "devices"});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("Name\tPort\tVendorID\tProductID\tRevision\tChunkSize\n"),
            std::string::npos);
  EXPECT_NE(
      list.Out.find("Simulated i-gotU GT-800 or GT-900\t" + port + "\t0DF7\t0B80\t0200\t16\n"),
      std::string::npos)
      << list.Out;

  const std::string got = dir_.File("found");
  const auto r = RunProcess({kTarnwick, "download", "-o", got}, "", "", 300);
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Err.find("Logger port: " + port + " (chunk size 16)"), std::string::npos) << r.Err;

  // A second logger: the download asks which one.
  auto [sim2, port2] = Simulate({"--model", "gt120", "--points", "10"});
  const auto two = RunProcess({kTarnwick, "download", "-o", dir_.File("two")});
  EXPECT_EQ(two.ExitCode, 1);
  EXPECT_NE(two.Err.find("2 loggers found: choose one with --device N"), std::string::npos)
      << two.Err;
  const auto second =
      RunProcess({kTarnwick, "download", "--device", "2", "-o", dir_.File("two")}, "", "", 300);
  EXPECT_EQ(second.ExitCode, 0) << second.Err;

  // A stopped simulator is gone from the list.
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(60s), 0);
  const auto after = RunProcess({kTarnwick, "devices"});
  EXPECT_EQ(after.Out.find(port + "\t"), std::string::npos) << after.Out;
  EXPECT_NE(after.Out.find(port2 + "\t"), std::string::npos) << after.Out;
}

TEST_F(E2ETest, CtrlCCancelsLeavesNoFilesAndSwitchesTheLoggerBack) {
  // 32 blocks at 16 KiB/s: about eight seconds of blocks, time enough to interrupt.
  auto [sim, port] =
      Simulate({"--model", "gt120", "--points", "4000", "--rate", "16384", "--no-register"});
  const std::string got = dir_.File("cancelled");
  ChildProcess download({kTarnwick, "download", "--port", port, "-o", got});
  ASSERT_TRUE(download.WaitForError("Reading Block 002000", 120s)) << download.Err();
  download.Signal(SIGINT);
  EXPECT_EQ(download.Wait(120s), 130) << download.Err();
  EXPECT_NE(download.Err().find("Download cancel\n"), std::string::npos) << download.Err();
  EXPECT_NE(download.Err().find("Change To Dongle Mode..."), std::string::npos);
  EXPECT_NE(download.Err().find("nothing was written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(got + ".dat"));
  EXPECT_FALSE(std::filesystem::exists(got + ".bin"));
}

TEST_F(E2ETest, UnpluggedLoggerFailsTheDownloadWithoutFiles) {
  auto [sim, port] = Simulate(
      {"--model", "gt900", "--points", "1000", "--faults", "unplug=2", "--rate", "1048576"});
  const std::string got = dir_.File("unplugged");
  const auto r = RunProcess({kTarnwick, "download", "-o", got}, "", "", 300);
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Err.find("tarnwick: " + port + ": Unable to read from com port (Error: 5)"),
            std::string::npos)
      << r.Err;
  EXPECT_FALSE(std::filesystem::exists(got + ".dat"));
  EXPECT_EQ(sim->Wait(60s), 0); // the simulator ends with its logger
  EXPECT_NE(sim->Err().find("the logger was unplugged"), std::string::npos);
}

TEST_F(E2ETest, SettingsFileTunesTheEngineAndTheDebugLog) {
  // The settings file sits beside the executable, so this test runs a copy of its own.
  const std::string exe = dir_.File("tarnwick");
  std::filesystem::copy_file(kTarnwick, exe);
  {
    std::ofstream ini(dir_.File("tarnwick.ini"));
    ini << "[Setting]\nFastDrain=0\nCommandRetryCount=$3\n[Debug]\nOutputLog=1\nImmediate=1\n";
  }
  // The log goes to the user's own state folder, here one of the test's.
  setenv("XDG_STATE_HOME", dir_.File("state").c_str(), 1);
  auto [sim, port] = Simulate({"--model", "gt120", "--points", "50", "--no-register", "--faults",
                               "noanswer@2,noanswer@3,noanswer@4"});
  const auto r = RunProcess({exe, "download", "--port", port, "-o", dir_.File("x")}, "", "", 300);
  unsetenv("XDG_STATE_HOME");
  // CommandRetryCount=$3: the model command failed three times, which ends the download.
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Err.find("ERROR!! Get Model Failure!!"), std::string::npos) << r.Err;
  // FastDrain=0: the drain before the model command (the logger quiet in its configuration
  // mode) waits for the read time-out, 200 ms, before the frame goes out.
  const std::string log = ReadFile(dir_.File("state/tarnwick/tarnwick.log"));
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m,
                                std::regex(R"(:(\d\d\.\d{3}): 1: # GetModel\r\n.*\r\n.*length=256)"
                                           R"(\r\n.*:(\d\d\.\d{3}): 1: @Send CommandChunk)")));
  EXPECT_GE(std::fmod(std::stod(m[2]) - std::stod(m[1]) + 60, 60), 0.19) << m[0];
}

TEST_F(E2ETest, NoLoggerIsAnError) {
  const auto r = RunProcess(
      {kTarnwick, "download", "-o", dir_.File("none"), "--port", "/dev/no-such-tarnwick-port"});
  EXPECT_EQ(r.ExitCode, 1);
  // The port's own error gives the reason, once; the command adds which port.
  EXPECT_NE(
      r.Err.find("tarnwick: /dev/no-such-tarnwick-port: Unable to open com port (Error: 2): " +
                 std::string(std::strerror(ENOENT)) + "\n"),
      std::string::npos)
      << r.Err;
  const auto bad = RunProcess({kTarnwick, "simulate", "--faults", "sometimes"});
  EXPECT_NE(bad.ExitCode, 0);
  EXPECT_NE(bad.Err.find("bad fault item 'sometimes'"), std::string::npos) << bad.Err;
  const auto timed = RunProcess({kTarnwick, "simulate", "--faults", "late@2,stray:9@3"});
  EXPECT_NE(timed.Err.find("bad fault item 'stray:9@3': only late and trickle take a time"),
            std::string::npos)
      << timed.Err;
}

} // namespace
} // namespace tarnwick
