// The test runner's check for sanitizer reports of the children that tests start.
#include "common/run_process.hpp"
#include "common/sanitizer_report.hpp"

#include <cstdlib>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <string>

namespace tarnwick {
namespace {

TEST(SanitizerReport, NamesTheLineOfEachSanitizersReport) {
  EXPECT_EQ(test::SanitizerReport("", 0), "");
  EXPECT_EQ(test::SanitizerReport("tarnwick: cannot open \"x\": runtime error\n", 1), "")
      << "a message of the program's own";
  EXPECT_EQ(test::SanitizerReport("a\n==12==ERROR: AddressSanitizer: heap-use-after-free on\nb", 1),
            "==12==ERROR: AddressSanitizer: heap-use-after-free on");
  EXPECT_EQ(test::SanitizerReport("==7==ERROR: LeakSanitizer: detected memory leaks", 1),
            "==7==ERROR: LeakSanitizer: detected memory leaks");
  EXPECT_EQ(
      test::SanitizerReport("out\nsrc/x.cpp:10:5: runtime error: signed integer overflow\n", 0),
      "src/x.cpp:10:5: runtime error: signed integer overflow");
  EXPECT_EQ(test::SanitizerReport("==3==ERROR: UndefinedBehaviorSanitizer: SEGV on unknown", 1),
            "==3==ERROR: UndefinedBehaviorSanitizer: SEGV on unknown");
  EXPECT_NE(test::SanitizerReport("", test::kSanitizerExitCode), "")
      << "the sanitizers' exit code alone is a report";
}

#ifndef _WIN32
// A child whose exit code 1 a test expects still fails that test when a sanitizer reported.
TEST(SanitizerReport, FailsTheTestWhoseChildLeftAReport) {
  test::ProcessResult r;
  EXPECT_NONFATAL_FAILURE((r = test::RunProcess({TARNWICK_SANITIZER_PROBE, "report"})),
                          "AddressSanitizer: heap-buffer-overflow");
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NONFATAL_FAILURE(test::RunShell(test::Quote(TARNWICK_SANITIZER_PROBE) + " report 2>&1"),
                          "left a sanitizer report");
  EXPECT_NONFATAL_FAILURE((test::RunProcess({TARNWICK_SANITIZER_PROBE, "sanitizer-exit"})),
                          "the sanitizers' own");
  const auto clean = test::RunProcess({TARNWICK_SANITIZER_PROBE, "nothing"});
  EXPECT_EQ(clean.ExitCode, 1) << clean.Err;
}

#ifdef TARNWICK_SANITIZED
// The real thing in the sanitizer build: each fault is caught, and under scripts/test-sanitized
// ends the child with the sanitizers' exit code instead of the 1 it would have ended with.
TEST(SanitizerReport, RealReportsOfTheSanitizerBuildFailTheTest) {
  const char* options = std::getenv("ASAN_OPTIONS");
  const bool ownExitCode =
      options != nullptr && std::string(options).find("exitcode=86") != std::string::npos;
  for (const auto& [mode, report] :
       {std::pair{"leak", "ERROR: LeakSanitizer"}, std::pair{"overflow", "ERROR: AddressSanitizer"},
        std::pair{"undefined", "runtime error"}}) {
    test::ProcessResult r;
    EXPECT_NONFATAL_FAILURE((r = test::RunProcess({TARNWICK_SANITIZER_PROBE, mode})), report);
    if (ownExitCode) {
      EXPECT_EQ(r.ExitCode, test::kSanitizerExitCode) << mode << ": " << r.Err;
    }
  }
}
#endif
#endif

} // namespace
} // namespace tarnwick
