#include "common/golden.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tarnwick::test {

namespace {
std::string LineAt(const std::string& text, size_t pos) {
  const auto begin = text.rfind('\n', pos == 0 ? 0 : pos - 1);
  const auto start = (begin == std::string::npos || pos == 0) ? 0 : begin + 1;
  const auto end = text.find('\n', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
} // namespace

std::string CompareGolden(const std::string& Name, const std::string& Actual) {
  const std::filesystem::path path = std::filesystem::path(TARNWICK_TEST_DATA_DIR) / Name;
  const char* update = std::getenv("TARNWICK_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << Actual;
    return {};
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return "golden file " + path.string() + " is missing (TARNWICK_UPDATE_GOLDEN=1 writes it)";
  }
  const std::string expected{std::istreambuf_iterator<char>(in), {}};
  if (expected == Actual) {
    return {};
  }
  size_t i = 0;
  while (i < expected.size() && i < Actual.size() && expected[i] == Actual[i]) {
    ++i;
  }
  size_t line = 1;
  size_t column = 1;
  for (size_t k = 0; k < i; ++k) {
    if (expected[k] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return path.filename().string() + " differs at line " + std::to_string(line) + ", column " +
         std::to_string(column) + " (byte " + std::to_string(i) +
         ")\n  expected: " + LineAt(expected, i) + "\n  actual:   " + LineAt(Actual, i);
}

} // namespace tarnwick::test
