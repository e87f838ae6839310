// The tarnwick tool run as a user runs it: output compared with golden files, errors checked.
#include "logger/whole_data.hpp"
#include "sim/sample_image.hpp"
#include "support/date_time.hpp"
#include "support/own_version_info.hpp"
#include "support/ver_info.hpp"

#include "common/child_process.hpp"
#include "common/files.hpp"
#include "common/golden.hpp"
#include "common/memory_image.hpp"
#include "common/run_process.hpp"
#include "common/slots.hpp"
#include "common/temp_dir.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>
#include <tuple>
#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;
using test::FileNames;
using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::WriteFile;

ProcessResult Cli(std::vector<std::string> args, const std::string& dir = "") {
  args.insert(args.begin(), TARNWICK_CLI);
  return RunProcess(args, dir);
}

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class CliGolden : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    for (auto [model, name] : {std::pair{"gt120", "gt120"}, std::pair{"gt900", "gt900"}}) {
      const auto r = Cli(
          {"sample", "--model", model, "--points", "600", "--seed", "11", "-o", dir_->File(name)});
      ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static void Check(const std::string& golden, std::vector<std::string> args) {
    const auto r = Cli(std::move(args), dir_->Path().string());
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_TRUE(test::MatchesGolden("cli/" + golden, r.Out));
  }
  static test::TempDir* dir_;
};

test::TempDir* CliGolden::dir_ = nullptr;

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

// What the programs write is the same bytes on every system: the saved image (the status
// file's CR LF lines and the block file, whose length and CRC-32 the status file records) and
// the GPX, both on standard output and in a file.
TEST_F(CliGolden, SampleAndExportWriteTheSameBytes) {
  const std::string dir = dir_->Path().string();
  const auto sample =
      Cli({"sample", "--model", "gt900", "--points", "600", "--seed", "11", "-o", "walk"}, dir);
  ASSERT_EQ(sample.ExitCode, 0) << sample.Err;
  EXPECT_TRUE(test::MatchesGolden("cli/gt900_sample.txt", sample.Out));
  EXPECT_TRUE(test::MatchesGolden("cli/gt900_sample.dat", ReadFile(dir_->File("walk.dat"))));
  EXPECT_EQ(ReadFile(dir_->File("walk.bin")), ReadFile(dir_->File("gt900.bin")));

  const auto toStdout = Cli({"export", "walk", "--track", "1", "-o", "-"}, dir);
  ASSERT_EQ(toStdout.ExitCode, 0) << toStdout.Err;
  EXPECT_TRUE(test::MatchesGolden("cli/gt900_export_1.gpx", toStdout.Out));
  const auto toFile = Cli({"export", "walk", "--track", "1", "-o", "walk.gpx"}, dir);
  ASSERT_EQ(toFile.ExitCode, 0) << toFile.Err;
  EXPECT_EQ(toFile.Out, "wrote walk.gpx: 1 track, 125 points, 0 way points\n");
  EXPECT_TRUE(test::MatchesGolden("cli/gt900_export_1.gpx", ReadFile(dir_->File("walk.gpx"))));
}

// Times in a named zone are the same bytes on every system (Windows reads the text database
// beside the program), with summer time for July and standard time for January.
TEST_F(CliGolden, NamedZoneInSummerAndWinter) {
  for (auto [model, start, name] :
       {std::tuple{"gt900", "2026-07-01", "summer"}, std::tuple{"gt120", "2026-01-15", "winter"}}) {
    const auto sample = Cli({"sample", "--model", model, "--points", "300", "--seed", "11",
                             "--start", start, "-o", name},
                            dir_->Path().string());
    ASSERT_EQ(sample.ExitCode, 0) << sample.Err;
    const std::string prefix = std::string("helsinki_") + name;
    Check(prefix + "_tracks.txt",
          {"tracks", name, "--tz", "Europe/Helsinki", "--year-era", "2016"});
    Check(prefix + "_points_1.txt",
          {"points", name, "-t", "1", "--tz", "Europe/Helsinki", "--year-era", "2016"});
  }
}

// Statistics as tables and JSON; a track without samples has no keys for them. Our own GPX
// export of the same tracks gives the same figures (to the rounding of the file's positions),
// only its elevation is the file's "ele".
TEST_F(CliGolden, StatsOfImagesAndOfTheirGpx) {
  Check("gt900_stats.txt", {"stats", "gt900"});
  Check("gt900_stats.json",
        {"stats", "gt900", "--json", "--tz", "Europe/Helsinki", "--max-hr", "170"});
  Check("gt120_stats_2.json", {"stats", "gt120", "--track", "2", "--json"});

  const std::string dir = dir_->Path().string();
  const auto exported = Cli({"export", "gt900", "--all", "-o", "gt900_all.gpx"}, dir);
  ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
  const auto image = Cli({"stats", "gt900", "--json"}, dir);
  const auto gpx = Cli({"stats", "gt900_all.gpx", "--json"}, dir);
  ASSERT_EQ(gpx.ExitCode, 0) << gpx.Err;
  auto a = nlohmann::json::parse(image.Out);
  auto b = nlohmann::json::parse(gpx.Out);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GE(a.size(), 2U);
  for (size_t t = 0; t < a.size(); ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(a[t]["elevation_source"], "pressure");
    EXPECT_EQ(b[t]["elevation_source"], "gps");
    // The GPX reader keeps no point's GPS speed.
    EXPECT_TRUE(a[t].contains("gps_speed_max_kmh"));
    for (auto* j : {&a[t], &b[t]}) {
      j->erase("elevation_source");
      j->erase("gps_speed_max_kmh");
    }
    const auto flatA = a[t].flatten();
    const auto flatB = b[t].flatten();
    ASSERT_EQ(flatA.size(), flatB.size());
    for (const auto& [key, value] : flatA.items()) {
      ASSERT_TRUE(flatB.contains(key)) << key;
      if (value.is_number()) {
        EXPECT_NEAR(value.get<double>(), flatB[key].get<double>(), 0.15) << key;
      } else {
        EXPECT_EQ(value, flatB[key]) << key;
      }
    }
  }

  const auto beyond = Cli({"stats", "gt900_all.gpx", "--track", "99"}, dir);
  EXPECT_EQ(beyond.ExitCode, 1);
  EXPECT_NE(beyond.Err.find("there is no track 99: the file has"), std::string::npos) << beyond.Err;
  const auto zero = Cli({"stats", "gt900", "--track", "0"}, dir);
  EXPECT_EQ(zero.ExitCode, 2);
}

// Every command works on images of every size of interest; tables have one line per record.
TEST(CliSizes, EveryCommandOnEverySize) {
  test::TempDir dir;
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
      // One row of statistics per track, a header however many.
      const auto stats = Cli({"stats", base});
      ASSERT_EQ(stats.ExitCode, 0) << stats.Err;
      EXPECT_EQ(Lines(stats.Out), trackCount + 1);
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
  test::TempDir dir;
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
  test::TempDir dir;
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
      {{"tracks", u, "--tz", "Nowhere/Zone"},
       "unknown time zone \"Nowhere/Zone\"",
       "tarnwick tracks --help"},
      {{"export", u, "--all", "-o", dir.File("e.gpx"), "--year-era", "1999"},
       "between 2000 and 9984",
       "tarnwick export --help"},
      {{"sample", "--model", "gt120", "--points", "5", "--start", "2026-02-30", "-o", u},
       "is not a date",
       "tarnwick sample --help"},
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

// Tables in a zone show each time with the summer or winter offset of its own day; the year
// era and --utc reach the tables and the GPX alike.
TEST(CliTimes, ZonesErasAndUtcTimes) {
  test::TempDir dir;
  for (const auto& [name, start] : {std::pair{"winter", "2026-01-15"}, {"summer", "2026-07-01"}}) {
    ASSERT_EQ(Cli({"sample", "--model", "gt900", "--points", "200", "--seed", "3", "--start", start,
                   "-o", dir.File(name)})
                  .ExitCode,
              0);
  }
  const auto firstStart = [](const ProcessResult& r) {
    const size_t row = r.Out.find("\n1\t");
    return row == std::string::npos ? r.Err : r.Out.substr(row + 3, 19);
  };
  // No download time recorded: the years read as written, unless an era is asked for.
  EXPECT_EQ(firstStart(Cli({"tracks", dir.File("winter")})), "2010-01-15 06:21:52");
  EXPECT_EQ(firstStart(Cli({"tracks", dir.File("winter"), "--year-era", "2016"})),
            "2026-01-15 06:21:52");
  EXPECT_EQ(firstStart(Cli(
                {"tracks", dir.File("winter"), "--year-era", "2016", "--tz", "Europe/Helsinki"})),
            "2026-01-15 08:21:52");
  EXPECT_EQ(firstStart(Cli(
                {"tracks", dir.File("summer"), "--year-era", "2016", "--tz", "Europe/Helsinki"})),
            "2026-07-01 09:21:52");
  EXPECT_EQ(firstStart(Cli({"tracks", dir.File("summer"), "--tz", "America/New_York"})),
            "2010-07-01 02:21:52");
  const auto points = Cli({"points", dir.File("summer"), "-t", "1", "--tz", "Asia/Kolkata"});
  EXPECT_NE(points.Out.find("\t2010-07-01 11:51:52\t"), std::string::npos) << points.Out;
  const auto logsUtc = Cli({"logmsgs", dir.File("summer")});
  const auto logs = Cli({"logmsgs", dir.File("summer"), "--tz", "Europe/Helsinki"});
  ASSERT_GT(logsUtc.Out.size(), 19U);
  EXPECT_EQ(logs.Out.substr(0, 19),
            FormatDateTime("yyyy-mm-dd hh:nn:ss",
                           TUTCDateTime::StrToDateTime(logsUtc.Out.substr(0, 19)) + 3.0 / 24));

  // GPX times are UTC in any case; --utc says so with Z, and nothing else in the file changes.
  const auto plain = Cli({"export", dir.File("summer"), "-t", "1", "-o", "-"});
  const auto utc = Cli({"export", dir.File("summer"), "-t", "1", "--utc", "-o", "-"});
  ASSERT_EQ(utc.ExitCode, 0) << utc.Err;
  EXPECT_NE(utc.Out.find("<time>2010-07-01T06:21:52.000Z</time>"), std::string::npos);
  std::string withoutZ = utc.Out;
  for (size_t at; (at = withoutZ.find("Z</time>")) != std::string::npos;) {
    withoutZ.erase(at, 1);
  }
  EXPECT_EQ(withoutZ, plain.Out);
  const auto era = Cli({"export", dir.File("summer"), "-t", "1", "--year-era", "2016", "-o", "-"});
  EXPECT_NE(era.Out.find("<time>2026-07-01T06:21:52.000</time>"), std::string::npos);
}

// Texts from files reach the terminal with their control characters escaped: in tables, in
// the log-message list and in error messages alike.
TEST(CliErrors, ControlCharactersFromFilesAreEscaped) {
  test::TempDir dir;
  TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 50, 5});
  // A log message with ESC (C0), DEL and 0x9B (CSI, a C1 control once read as Latin-1).
  const auto msg = test::Slot{}.Flags(0xF1).At(6, 0, 0).Text("A\x1B[2J\x7F\x9B"
                                                             "31mB");
  test::EditRecords(image,
                    [&](uint8_t* records) { std::copy_n(msg.Ptr(), 32, records + 10 * 32); });
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
  test::TempDir dir;
  TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 50, 5});
  // Record 3 gets month 13, record 4 the 30th of February.
  test::EditRecords(image, [](uint8_t* records) {
    records[3 * 32 + 1] = 0xDD;
    records[4 * 32 + 1] = 0xD2;
    records[4 * 32 + 2] = 0xF3;
    records[4 * 32 + 3] = 0x80;
  });
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

// ---- files the user keeps --------------------------------------------------------------

#ifndef _WIN32 // permission bits are POSIX's
fs::perms Perms(const std::string& name) {
  return fs::status(name).permissions();
}
#endif

// A folder with a small image "trip" and a private "secret" file.
class CliFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"sample", "--model", "gt900", "--points", "600", "-o", Base()}).ExitCode, 0);
    WriteFile(Secret(), "[Vault]\r\nPin=1234\r\n");
    fs::permissions(Secret(), fs::perms(0600));
  }
  std::string Base() const { return dir_.File("trip"); }
  std::string Secret() const { return dir_.File("secret"); }
  test::TempDir dir_;
};

#ifndef _WIN32 // links, FIFOs and device nodes are made with POSIX calls
TEST_F(CliFiles, TargetsThatAreNotRegularFilesAreRefusedAndNothingChanges) {
  fs::create_symlink("/proc/self/fd/1", dir_.File("stdout.gpx"));
  ASSERT_EQ(::mkfifo(dir_.File("fifo.gpx").c_str(), 0600), 0);
  fs::create_symlink(Secret(), dir_.File("linked.dat"));
  fs::create_directory(dir_.File("folder.gpx"));
  // A null device of the test's own: a fault here must not replace the system's /dev/null.
  const bool device = ::mknod(dir_.File("null.gpx").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const auto before = FileNames(dir_.Path());
  const std::string bin = ReadFile(Base() + ".bin");
  const std::string dat = ReadFile(Base() + ".dat");

  struct Case {
    std::vector<std::string> Args;
    std::string Message;
  };
  std::vector<Case> cases = {
      {{"export", Base(), "--all", "-o", dir_.File("stdout.gpx")}, "it is a symbolic link"},
      {{"export", Base(), "--all", "-o", dir_.File("fifo.gpx")}, "it is a FIFO"},
      {{"export", Base(), "--all", "-o", dir_.File("folder.gpx")}, "it is a folder"},
      {{"export", Base(), "--all", "-o", dir_.File("nowhere/t.gpx")}, "No such file or directory"},
      {{"export", Base(), "--all", "-o", Base() + ".dat"}, "a file of the image being exported"},
      {{"export", Base() + ".dat", "--all", "-o", dir_.File("./trip.bin")},
       "a file of the image being exported"},
      {{"sample", "--model", "gt120", "--points", "10", "-o", dir_.File("linked")},
       "it is a symbolic link"},
      // Refused before the logger is looked for: this port does not exist either.
      {{"download", "--port", "/dev/no-such-tarnwick-port", "-o", dir_.File("nowhere/t")},
       "nowhere/t.dat\". No such file or directory"},
      {{"download", "--port", "/dev/no-such-tarnwick-port", "-o", dir_.File("linked")},
       "linked.dat\": it is a symbolic link"},
  };
  if (device) {
    cases.push_back(
        {{"export", Base(), "--all", "-o", dir_.File("null.gpx")}, "it is a character device"});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[0] + " " + c.Args.back());
    const auto r = Cli(c.Args);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
  }
  EXPECT_EQ(FileNames(dir_.Path()), before);
  EXPECT_EQ(ReadFile(Secret()), "[Vault]\r\nPin=1234\r\n");
  EXPECT_EQ(Perms(Secret()), fs::perms(0600));
  EXPECT_EQ(ReadFile(Base() + ".bin"), bin);
  EXPECT_EQ(ReadFile(Base() + ".dat"), dat);
}

#endif

TEST_F(CliFiles, ExportToStandardOutputWritesTheSameGpxAndNoFile) {
  ASSERT_EQ(Cli({"export", Base(), "--track", "1", "-o", dir_.File("one.gpx")}).ExitCode, 0);
  ASSERT_EQ(Cli({"export", Base(), "--all", "-o", dir_.File("all.gpx")}).ExitCode, 0);
  const auto before = FileNames(dir_.Path());
  for (const auto& [selection, file] :
       {std::pair<std::vector<std::string>, std::string>{{"--track", "1"}, "one.gpx"},
        {{"--all"}, "all.gpx"}}) {
    std::vector<std::string> args = {"export", Base(), "-o", "-"};
    args.insert(args.end(), selection.begin(), selection.end());
    const auto r = Cli(args, dir_.Path().string());
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(r.Out == ReadFile(dir_.File(file))) << file << " differs from standard output";
    EXPECT_NE(r.Err.find("wrote standard output: "), std::string::npos) << r.Err;
  }
  EXPECT_EQ(FileNames(dir_.Path()), before) << "no file named - and no temporary";
}

#ifndef _WIN32 // permission bits are POSIX's
TEST_F(CliFiles, ResavingKeepsPermissionsAndTheLinesUsersAdded) {
  const std::string added = "; walk with Aiko\r\n[Notes]\r\nWhere = Kyoto\r\nWhere = Nara\r\n"
                            "no equals sign here\n";
  WriteFile(Base() + ".dat", ReadFile(Base() + ".dat") + added);
  fs::permissions(Base() + ".dat", fs::perms(0600));
  fs::permissions(Base() + ".bin", fs::perms(0600));
  const std::string gpx = dir_.File("walk.gpx");
  WriteFile(gpx, "old");
  fs::permissions(gpx, fs::perms(0640));

  ASSERT_EQ(
      Cli({"sample", "--model", "gt900", "--points", "700", "--seed", "2", "-o", Base()}).ExitCode,
      0);
  ASSERT_EQ(Cli({"export", Base(), "--track", "1", "-o", gpx}).ExitCode, 0);
  EXPECT_EQ(Perms(Base() + ".dat"), fs::perms(0600));
  EXPECT_EQ(Perms(Base() + ".bin"), fs::perms(0600));
  EXPECT_EQ(Perms(gpx), fs::perms(0640));
  const std::string dat = ReadFile(Base() + ".dat");
  EXPECT_NE(dat.find(added), std::string::npos) << dat;
  const auto info = Cli({"info", Base(), "--json"});
  EXPECT_NE(info.Out.find("\"count\":700"), std::string::npos) << info.Out;
  EXPECT_EQ(info.Err, "");
}

#endif

TEST_F(CliFiles, APairFromTwoSavesIsLoadedWithAWarning) {
  // What a kill between the renames of a save leaves: the block file of the newer save.
  const std::string oldDat = ReadFile(Base() + ".dat");
  ASSERT_EQ(Cli({"sample", "--model", "gt900", "--points", "650", "-o", Base()}).ExitCode, 0);
  WriteFile(Base() + ".dat", oldDat);
  const auto r = Cli({"tracks", Base()});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_GT(Lines(r.Out), 1U) << "the image is shown all the same";
  EXPECT_EQ(Lines(r.Err), 1U) << r.Err;
  EXPECT_EQ(
      r.Err.rfind("tarnwick: warning: \"" + Base() + ".bin\" does not match \"" + Base() + ".dat\"",
                  0),
      0U)
      << r.Err;
}

TEST_F(CliFiles, NamesOfTheLongestLengthCanBeWritten) {
  const std::string base = dir_.File(std::string(251, 'b')); // + ".dat": 255 bytes
  const auto sample = Cli({"sample", "--model", "gt120", "--points", "300", "-o", base});
  EXPECT_EQ(sample.ExitCode, 0) << sample.Err;
  const std::string gpx = dir_.File(std::string(251, 'g') + ".gpx");
  const auto exported = Cli({"export", base, "--all", "-o", gpx});
  EXPECT_EQ(exported.ExitCode, 0) << exported.Err;
  EXPECT_TRUE(fs::exists(gpx));
}

#ifndef _WIN32 // FIFOs, file-size limits and signals are POSIX's
TEST_F(CliFiles, AFifoAsAnInputIsRefusedAtOnce) {
  for (const auto& [fifo, file] : {std::pair{"a.dat", "a.bin"}, std::pair{"b.bin", "b.dat"}}) {
    ASSERT_EQ(::mkfifo(dir_.File(fifo).c_str(), 0600), 0);
    fs::copy_file(Base() + fs::path(file).extension().string(), dir_.File(file));
    const auto r = RunProcess({TARNWICK_CLI, "info", dir_.File(file)}, "", "", 20);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find(std::string(fifo) + "\": it is a FIFO, not a regular file"),
              std::string::npos)
        << r.Err;
  }
  ASSERT_EQ(::mkfifo(dir_.File("c.gpx").c_str(), 0600), 0);
  const auto gpx = RunProcess({TARNWICK_CLI, "gpx-info", dir_.File("c.gpx")}, "", "", 20);
  EXPECT_EQ(gpx.ExitCode, 1) << gpx.Err;
  EXPECT_NE(gpx.Err.find("it is a FIFO"), std::string::npos) << gpx.Err;
}

// A write error from a file-size limit is reported, not the end of the program by SIGXFSZ.
TEST_F(CliFiles, FileSizeLimitIsAWriteErrorThatLeavesTheOldFiles) {
  const std::string gpx = dir_.File("limited.gpx");
  WriteFile(gpx, "old");
  const auto before = FileNames(dir_.Path());
  const std::string dat = ReadFile(Base() + ".dat");
  const std::vector<std::vector<std::string>> runs = {
      {"export", Base(), "--all", "-o", gpx},
      {"sample", "--model", "gt900", "--points", "3000", "-o", Base()},
  };
  for (const auto& args : runs) {
    SCOPED_TRACE(args[0]);
    std::vector<std::string> argv = {"/usr/bin/prlimit", "--fsize=20000", TARNWICK_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = RunProcess(argv);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find("File too large"), std::string::npos) << r.Err;
  }
  EXPECT_EQ(FileNames(dir_.Path()), before);
  EXPECT_EQ(ReadFile(gpx), "old");
  EXPECT_EQ(ReadFile(Base() + ".dat"), dat);
}

// ---- signals during an export ---------------------------------------------------------

// A full image, and a GPX file "out.gpx" of 0600 that each export tries to replace.
class CliSignals : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shared_ = new test::TempDir;
    const auto r =
        Cli({"sample", "--model", "gt900", "--points", "65535", "-o", shared_->File("big")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
  }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }
  void SetUp() override {
    fs::create_directory(dir_.File("out"));
    ResetOutput();
  }
  std::string Output() const { return dir_.File("out/out.gpx"); }
  void ResetOutput() {
    WriteFile(Output(), "old");
    fs::permissions(Output(), fs::perms(0600));
  }

  // Starts an export of the whole image and stops it (SIGSTOP) while its temporary exists;
  // runs that finish before that are started again.
  std::unique_ptr<ChildProcess> StoppedWhileWriting() {
    for (int attempt = 0; attempt < 20; ++attempt) {
      // What an earlier case left must not pass for this run's temporary.
      for (const auto& name : FileNames(dir_.File("out"))) {
        fs::remove(dir_.File("out/" + name));
      }
      ResetOutput();
      auto child = std::make_unique<ChildProcess>(std::vector<std::string>{
          TARNWICK_CLI, "export", shared_->File("big"), "--all", "-o", Output()});
      const auto deadline = std::chrono::steady_clock::now() + 60s;
      while (std::chrono::steady_clock::now() < deadline && child->Wait(0s) < 0) {
        if (FileNames(dir_.File("out")).size() > 1) {
          child->Signal(SIGSTOP);
          if (FileNames(dir_.File("out")).size() > 1) {
            return child;
          }
          child->Signal(SIGCONT);
          break;
        }
        std::this_thread::sleep_for(200us);
      }
      child->Wait(60s);
    }
    ADD_FAILURE() << "the export never showed its temporary";
    return nullptr;
  }

  // Nothing but the untouched old file is left.
  void ExpectOldFileAlone() {
    EXPECT_EQ(FileNames(dir_.File("out")), std::set<std::string>{"out.gpx"});
    EXPECT_EQ(ReadFile(Output()), "old");
    EXPECT_EQ(Perms(Output()), fs::perms(0600));
  }

  static test::TempDir* shared_;
  test::TempDir dir_;
};

test::TempDir* CliSignals::shared_ = nullptr;

TEST_F(CliSignals, EndingSignalsLeaveNoTemporaryAndTheOldFile) {
  const struct {
    const char* Name;
    std::vector<int> WhileStopped; // sent together while the export is stopped
    std::vector<int> Afterwards;   // sent once it runs again
  } cases[] = {
      {"SIGTERM", {SIGTERM}, {}},
      {"SIGHUP", {SIGHUP}, {}},
      {"two SIGINTs", {SIGINT}, {SIGINT}},
      // Both pending at once: the first cancels, the second ends the program before the
      // cancel is noticed.
      {"SIGHUP then SIGINT", {SIGHUP, SIGINT}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto child = StoppedWhileWriting();
    ASSERT_NE(child, nullptr);
    for (const int s : c.WhileStopped) {
      child->Signal(s);
    }
    child->Signal(SIGCONT);
    for (const int s : c.Afterwards) {
      child->Signal(s);
    }
    const int status = child->Wait(60s);
    EXPECT_TRUE(status == 130 || status == 128 + c.WhileStopped.back()) << status << child->Err();
    ExpectOldFileAlone();
  }
}

TEST_F(CliSignals, TheNextExportRemovesWhatAKilledOneLeft) {
  {
    const auto child = StoppedWhileWriting();
    ASSERT_NE(child, nullptr);
    child->Signal(SIGKILL);
    EXPECT_EQ(child->Wait(60s), 128 + SIGKILL);
  }
  ASSERT_EQ(FileNames(dir_.File("out")).size(), 2U) << "a killed run cannot clean up";
  const auto r = Cli({"export", shared_->File("big"), "--all", "-o", Output()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(FileNames(dir_.File("out")), std::set<std::string>{"out.gpx"});
  EXPECT_EQ(Perms(Output()), fs::perms(0600));
}

#endif

// Arguments reach the program as they were given: blanks, quotes and backslashes (quoted for
// the C runtime on Windows) and UTF-8 (the manifest's code page on Windows).
TEST(CliArguments, ArriveUnchanged) {
  for (const std::string arg : {"two words", "a \"quoted\" word", "back\\slash\\", "trailing\\\\",
                                "Gr\xC3\xBC\xC3\x9F\x65", "\xE6\x97\xA5\xE6\x9C\xAC \"\\\" x"}) {
    const auto r = Cli({arg});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("unknown command \"" + arg + "\""), std::string::npos)
        << arg << ": " << r.Err;
  }
  test::TempDir dir;
  const std::string base = dir.File("Wanderung \xC3\xBC\xC3\xA4 \xE6\x97\xA5");
  ASSERT_EQ(Cli({"sample", "--model", "gt120", "--points", "20", "-o", base}).ExitCode, 0);
  const auto info = Cli({"info", base, "--json"});
  EXPECT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_NE(info.Out.find("\"count\":20"), std::string::npos) << info.Out;
}

// The version resource of the Windows program holds the values the program has built in.
// Run against the cross-built tarnwick.exe, from the Linux tests when it has been built.
TEST(CliVersionResource, TheWindowsProgramCarriesTheBuiltInValues) {
  const std::string exe = TARNWICK_WINDOWS_CLI;
  if (!fs::exists(exe)) {
    GTEST_SKIP() << exe << " has not been built (scripts/test-windows builds it)";
  }
  const TVerInfo file(exe);
  const TVerInfo own = OwnVersionInfo();
  EXPECT_EQ(file.FileVersion(), "0.9.4.0");
  EXPECT_EQ(file.LocaleId(), "0411");
  EXPECT_EQ(file.CodePage(), "03A4");
  EXPECT_FALSE(file.Dll());
  EXPECT_FALSE(file.DebugBuild());
  for (const auto& [name, value] :
       std::vector<std::pair<std::string, std::string (TVerInfo::*)() const>>{
           {"CompanyName", &TVerInfo::CompanyName},
           {"FileDescription", &TVerInfo::FileDescription},
           {"FileVersion", &TVerInfo::FileVersion},
           {"InternalName", &TVerInfo::InternalName},
           {"LegalCopyright", &TVerInfo::LegalCopyright},
           {"OriginalFilename", &TVerInfo::OriginalFilename},
           {"ProductName", &TVerInfo::ProductName},
           {"ProductVersion", &TVerInfo::ProductVersion}}) {
    EXPECT_EQ((file.*value)(), (own.*value)()) << name;
  }
}

#ifdef _WIN32
// Named zones come from the folder tzdata beside the program: without it they are refused
// with the reason, and UTC, which needs no database, still works.
TEST(CliWindows, NamedZonesWithoutTheZoneDataAreRefused) {
  test::TempDir dir;
  const std::string exe = dir.File("tarnwick.exe");
  fs::copy_file(TARNWICK_CLI, exe);
  ASSERT_EQ(Cli({"sample", "--model", "gt120", "--points", "10", "-o", dir.File("u")}).ExitCode, 0);
  const auto named = RunProcess({exe, "tracks", dir.File("u"), "--tz", "Europe/Helsinki"});
  EXPECT_EQ(named.ExitCode, 2);
  EXPECT_EQ(named.Out, "");
  EXPECT_EQ(Lines(named.Err), 1U) << named.Err;
  EXPECT_NE(named.Err.find("the time-zone database cannot be read"), std::string::npos)
      << named.Err;
  EXPECT_NE(named.Err.find("tzdata\""), std::string::npos) << named.Err; // where it looked
  const auto utc = RunProcess({exe, "tracks", dir.File("u"), "--tz", "utc"});
  EXPECT_EQ(utc.ExitCode, 0) << utc.Err;
  EXPECT_EQ(utc.Out, Cli({"tracks", dir.File("u")}).Out);
}

TEST(CliWindows, SimulateSaysItRunsOnLinuxOnly) {
  const auto r = Cli({"simulate", "--model", "gt900"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(Lines(r.Err), 1U) << r.Err;
  EXPECT_NE(r.Err.find("Linux only"), std::string::npos) << r.Err;
}
#endif

} // namespace
} // namespace tarnwick
