#include "cli/console_progress.hpp"

#include "logger/slot_blocks.hpp"

#include <chrono>
#include <fmt/format.h>

namespace tarnwick::cli {

TConsoleProgress::TConsoleProgress(std::ostream& Out, bool Terminal,
                                   std::function<bool()> CancelRequested, TClock Clock)
    : FOut(Out), FTerminal(Terminal), FCancelRequested(std::move(CancelRequested)),
      FClock(std::move(Clock)) {
  if (!FClock) {
    FClock = [] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
}

std::string TConsoleProgress::ProgressText(int Position, int Max, double Seconds) {
  const int percent = Max > 0 ? static_cast<int>(int64_t{Position} * 100 / Max) : 100;
  std::string text = fmt::format("{}/{} blocks {:3}%", Position, Max, percent);
  if (Position > 0 && Seconds > 0) {
    const double bytesPerSecond = Position * static_cast<double>(kBlockSize) / Seconds;
    const auto left = static_cast<int64_t>((Max - Position) * Seconds / Position + 0.5);
    text +=
        fmt::format("  {:.1f} KiB/s  {}:{:02} left", bytesPerSecond / 1024, left / 60, left % 60);
  }
  return text;
}

void TConsoleProgress::OnProgress(int32_t Position, int32_t Max, bool& Abort) {
  const double now = FClock();
  if (FStart < 0 || Position == 0) {
    FStart = now;
  }
  FPosition = Position;
  FMax = Max;
  const std::string text = ProgressText(Position, Max, now - FStart);
  if (FTerminal) {
    DrawBar();
  } else {
    const int tenth = Max > 0 ? static_cast<int>(int64_t{Position} * 10 / Max) : 10;
    if (tenth != FLastTenth) {
      FLastTenth = tenth;
      FOut << "Progress: " << text << '\n' << std::flush;
    }
  }
  Abort = FCancelRequested && FCancelRequested();
}

void TConsoleProgress::DrawBar() {
  constexpr int kWidth = 24;
  const int filled = FMax > 0 ? static_cast<int>(int64_t{FPosition} * kWidth / FMax) : kWidth;
  const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                          std::string(static_cast<size_t>(kWidth - filled), '-');
  FOut << "\r[" << bar << "] " << ProgressText(FPosition, FMax, FClock() - FStart) << "\033[K"
       << std::flush;
  FBarShown = true;
}

void TConsoleProgress::Message(const std::string& Msg) {
  if (FTerminal && FBarShown) {
    FOut << "\r\033[K" << Msg << '\n';
    DrawBar();
    return;
  }
  FOut << Msg << '\n' << std::flush;
}

void TConsoleProgress::Finish() {
  if (FTerminal && FBarShown) {
    FOut << '\n' << std::flush;
    FBarShown = false;
  }
}

} // namespace tarnwick::cli
