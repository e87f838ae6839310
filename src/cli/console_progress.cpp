#include "cli/console_progress.hpp"

#include "cli/cli_common.hpp"
#include "logger/slot_blocks.hpp"
#include "support/str_util.hpp"

#include <chrono>
#include <fmt/format.h>

namespace tarnwick::cli {

TConsoleProgress::TConsoleProgress(std::ostream& Out, bool Terminal, bool Verbose,
                                   std::function<bool()> CancelRequested, TClock Clock, int Width)
    : FOut(Out), FTerminal(Terminal), verbose(Verbose),
      FCancelRequested(std::move(CancelRequested)), FClock(std::move(Clock)),
      width(Width > 1 ? Width : 80) {
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

// Every text passes here before it is printed: the status texts carry what the logger sent,
// and a control character among them would break the lines drawn in place.
std::string TConsoleProgress::Printable(const std::string& Text) {
  return EscapeControls(Text);
}

// A row drawn in place must not wrap, or erasing it would leave its tail on the screen.
std::string TConsoleProgress::Fit(const std::string& Text) const {
  int columns = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80 && ++columns >= width) {
      return Text.substr(0, i);
    }
  }
  return Text;
}

std::string TConsoleProgress::BarText() const {
  constexpr int kWidth = 24;
  const int filled = FMax > 0 ? static_cast<int>(int64_t{FPosition} * kWidth / FMax) : kWidth;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(kWidth - filled), '-') + "] " +
         ProgressText(FPosition, FMax, FClock() - FStart);
}

void TConsoleProgress::EraseLive() {
  if (liveRows == 0) {
    return;
  }
  FOut << '\r';
  if (liveRows > 1) {
    FOut << "\033[" << liveRows - 1 << 'A';
  }
  FOut << "\033[J";
  liveRows = 0;
}

void TConsoleProgress::DrawLive() {
  if (!status.empty()) {
    FOut << Fit(status);
    ++liveRows;
  }
  if (FBarShown) {
    FOut << (liveRows > 0 ? "\n" : "") << Fit(BarText());
    ++liveRows;
  }
}

void TConsoleProgress::OnProgress(int32_t Position, int32_t Max, bool& Abort) {
  const double now = FClock();
  if (FStart < 0 || Position == 0) {
    FStart = now;
  }
  FPosition = Position;
  FMax = Max;
  if (FTerminal) {
    FBarShown = true;
    EraseLive();
    DrawLive();
    FOut << std::flush;
  } else {
    const int tenth = Max > 0 ? static_cast<int>(int64_t{Position} * 10 / Max) : 10;
    if (tenth != FLastTenth) {
      FLastTenth = tenth;
      FOut << "Progress: " << ProgressText(Position, Max, now - FStart) << '\n' << std::flush;
    }
  }
  Abort = FCancelRequested && FCancelRequested();
}

void TConsoleProgress::Line(const std::string& Msg) {
  EraseLive();
  FOut << Printable(Msg) << '\n';
  DrawLive();
  FOut << std::flush;
}

void TConsoleProgress::SetMessage2(const std::string& Msg) {
  if (!FTerminal || verbose) {
    Line(Msg);
    return;
  }
  status = Printable(Msg);
  EraseLive();
  DrawLive();
  FOut << std::flush;
}

void TConsoleProgress::Finish() {
  if (liveRows > 0) {
    FOut << '\n' << std::flush;
  }
  liveRows = 0;
  status.clear();
  FBarShown = false;
}

} // namespace tarnwick::cli
