#include "common/sanitizer_report.hpp"

#include <gtest/gtest.h>

namespace tarnwick::test {

std::string SanitizerReport(const std::string& Output, int ExitCode) {
  // UndefinedBehaviorSanitizer writes "file:line:column: runtime error: ..."; the others open
  // their report with "==PID==ERROR: ...Sanitizer".
  for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                             "ERROR: UndefinedBehaviorSanitizer", ": runtime error: "}) {
    const size_t at = Output.find(marker);
    if (at != std::string::npos) {
      const size_t start = Output.rfind('\n', at);
      const size_t begin = start == std::string::npos ? 0 : start + 1;
      return Output.substr(begin, Output.find('\n', at) - begin);
    }
  }
  if (ExitCode == kSanitizerExitCode) {
    return "exit code " + std::to_string(kSanitizerExitCode) + ", the sanitizers' own";
  }
  return {};
}

void ExpectNoSanitizerReport(const std::string& Program, const std::string& Out,
                             const std::string& Err, int ExitCode) {
  std::string report = SanitizerReport(Err, ExitCode);
  const std::string* where = &Err;
  if (report.empty()) {
    // A child that runs the program through a shell may have sent its errors to the output.
    report = SanitizerReport(Out, -1);
    where = &Out;
  }
  if (!report.empty()) {
    ADD_FAILURE() << Program << " left a sanitizer report: " << report << "\n"
                  << where->substr(0, 6000);
  }
}

} // namespace tarnwick::test
