// What the download's progress leaves on a terminal, with --verbose, and in a log.
#include "cli/console_progress.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sstream>

namespace tarnwick::cli {
namespace {

// The rows a terminal shows after Text, for what the progress writes: text, "\r", "\n",
// cursor up ("\033[nA") and erase to the end of the screen ("\033[J").
std::vector<std::string> Screen(const std::string& Text) {
  std::vector<std::string> rows(1);
  size_t row = 0;
  size_t col = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '\033') {
      const size_t end = Text.find_first_of("AJ", i);
      row -= Text[end] == 'A' ? std::stoul(Text.substr(i + 2)) : 0;
      rows.resize(Text[end] == 'J' ? row + 1 : rows.size());
      rows[row].resize(Text[end] == 'J' ? std::min(col, rows[row].size()) : rows[row].size());
      i = end;
    } else if (Text[i] == '\r' || Text[i] == '\n') {
      row += Text[i] == '\n' ? 1 : 0;
      col = 0;
      rows.resize(std::max(rows.size(), row + 1));
    } else {
      rows[row].resize(std::max(rows[row].size(), col + 1), ' ');
      rows[row][col++] = Text[i];
    }
  }
  rows.resize(rows.size() - (rows.back().empty() ? 1 : 0));
  return rows;
}

// What a download tells its sink for a 40,000-record memory (313 blocks); the last status
// text comes from a logger that put control characters and too many characters in it.
std::vector<std::string> PlayDownload(bool Terminal, bool Verbose) {
  std::ostringstream out;
  ConsoleProgress progress(
      out, Terminal, Verbose, nullptr, [t = 0.0]() mutable { return t += 0.1; }, 60);
  progress.Line("Logger port: /dev/ttyACM0 (chunk size 16)");
  progress.SetMessage1("Read Status...");
  progress.SetMessage2("Get Model...");
  progress.SetMessage1("Downloading...");
  bool abort = false;
  progress.OnProgress(0, 313, abort);
  for (int i = 0; i < 313; ++i) {
    progress.SetMessage2(
        fmt::format("Reading Block {:06X} ({})%", 0x1000 + i * 0x1000, i * 100 / 313));
    progress.OnProgress(i + 1, 313, abort);
  }
  progress.SetMessage2("Model is \033[2J\r\nGT-\xC3\xA9" + std::string(60, 'x'));
  progress.Finish();
  EXPECT_EQ(out.str().find_first_of("\r\033") == std::string::npos, !Terminal);
  return Screen(out.str());
}

// The status text with control characters as printed: 24 columns wide.
const std::string kModelText = "Model is \\x1B[2J\\r\\nGT-\xC3\xA9";

TEST(ConsoleProgressTest, TerminalRewritesOneStatusLineAboveTheBar) {
  const auto rows = PlayDownload(true, false);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], "Logger port: /dev/ttyACM0 (chunk size 16)");
  EXPECT_EQ(rows[2], "Downloading...");
  // Control characters are escaped, and a row drawn in place is cut to the width (60), as a
  // wrapped row would leave its tail behind when it is rewritten.
  EXPECT_EQ(rows[3], kModelText + std::string(59 - 24, 'x'));
  EXPECT_EQ(rows[4].rfind("[########################] 313/313 blocks 100%", 0), 0u);
}

TEST(ConsoleProgressTest, EveryTextOnItsOwnLineWithVerboseOrWithoutATerminal) {
  for (const bool terminal : {true, false}) {
    const auto rows = PlayDownload(terminal, true);
    // 4 texts, 313 block texts, the last text, then the bar or 11 progress lines among them.
    ASSERT_EQ(rows.size(), terminal ? 4u + 313u + 1u + 1u : 4u + 313u + 1u + 11u) << terminal;
    EXPECT_EQ(rows[terminal ? 4 : 5], "Reading Block 001000 (0)%");
    EXPECT_EQ(rows[rows.size() - (terminal ? 2 : 1)], kModelText + std::string(60, 'x'));
  }
}

} // namespace
} // namespace tarnwick::cli
