#pragma once

#include <string>

namespace tarnwick::test {

/// The exit code the sanitizer build gives a program whose run a sanitizer reported
/// (scripts/test-sanitized sets it for AddressSanitizer, LeakSanitizer and
/// UndefinedBehaviorSanitizer), so that a report never passes for the program's own failure
/// exit, which the tests of failures expect.
constexpr int kSanitizerExitCode = 86;

/// The line of Output that shows a sanitizer's report ("ERROR: AddressSanitizer",
/// "ERROR: LeakSanitizer", "runtime error:"), or a note of the sanitizers' exit code when
/// ExitCode is it; empty when neither.
std::string SanitizerReport(const std::string& Output, int ExitCode);

/// Fails the running test (without ending it) when the child Program left a sanitizer report
/// in Out or Err or ended with the sanitizers' exit code, quoting the report. Every child a
/// test runs through ChildProcess is checked this way when it ends.
void ExpectNoSanitizerReport(const std::string& Program, const std::string& Out,
                             const std::string& Err, int ExitCode);

} // namespace tarnwick::test
