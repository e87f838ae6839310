#include "common/golden.hpp"

#include "common/files.hpp"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tarnwick::test {

namespace {
// Where two texts first differ, with the line each has there.
std::string FirstDifference(const std::string& Expected, const std::string& Actual) {
  const auto lineAt = [](const std::string& s, size_t start) {
    const size_t end = s.find('\n', start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
  };
  size_t i = 0;
  size_t line = 1;
  size_t lineStart = 0;
  while (i < Expected.size() && i < Actual.size() && Expected[i] == Actual[i]) {
    if (Expected[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
    ++i;
  }
  std::ostringstream msg;
  msg << "byte " << i << ", line " << line << ", column " << i - lineStart + 1
      << ":\n  expected: \"" << lineAt(Expected, lineStart) << "\""
      << (i >= Expected.size() ? " (expected text ends here)" : "") << "\n  actual:   \""
      << lineAt(Actual, lineStart) << "\""
      << (i >= Actual.size() ? " (actual text ends here)" : "");
  return msg.str();
}
} // namespace

testing::AssertionResult MatchesGolden(const std::string& Name, const std::string& Actual) {
  const std::filesystem::path path = std::filesystem::path(TARNWICK_TEST_DATA_DIR) / Name;
  const char* update = std::getenv("TARNWICK_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path.string(), Actual);
    return testing::AssertionSuccess();
  }
  if (!std::filesystem::exists(path)) {
    return testing::AssertionFailure()
           << "golden file " << path.string() << " is missing (TARNWICK_UPDATE_GOLDEN=1 writes it)";
  }
  const std::string expected = ReadFile(path.string());
  if (expected == Actual) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << Name << " differs at " << FirstDifference(expected, Actual);
}

} // namespace tarnwick::test
