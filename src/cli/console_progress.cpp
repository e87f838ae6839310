#include "cli/console_progress.hpp"

#include "app/logger_link.hpp"
#include "cli/cli_common.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <chrono>
#include <fmt/format.h>

namespace tarnwick::cli {

ConsoleProgress::ConsoleProgress(std::ostream& Out, bool Terminal, bool Verbose,
                                 std::function<bool()> CancelRequested, Clock Clock, int Width)
    : out_(Out), terminal_(Terminal), verbose_(Verbose),
      cancelRequested_(std::move(CancelRequested)), clock_(std::move(Clock)),
      width_(Width > 1 ? Width : 80) {
  if (!clock_) {
    clock_ = [] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
}

std::shared_ptr<ConsoleProgress> ConsoleProgress::ForSteps(std::ostream& Out, bool Terminal,
                                                           std::function<bool()> CancelRequested) {
  auto progress =
      std::make_shared<ConsoleProgress>(Out, Terminal, false, std::move(CancelRequested));
  progress->steps_ = true;
  return progress;
}

ConsoleProgress::~ConsoleProgress() {
  Finish();
}

std::string ConsoleProgress::ProgressText(int Position, int Max, double Seconds) {
  return app::DownloadProgressText(Position, Max, Seconds);
}

void ConsoleProgress::DrawSteps() {
  constexpr int kWidth = 30;
  std::string line = "\r" + status_;
  if (percent_ >= 0) {
    const int filled = percent_ * kWidth / 100;
    line += " [" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kWidth - filled), ' ') + "] " +
            std::to_string(percent_) + "%";
  }
  out_ << line << "\033[K" << std::flush;
  liveRows_ = 1;
}

// Every text passes here before it is printed: the status texts carry what the logger sent,
// and a control character among them would break the lines drawn in place.
std::string ConsoleProgress::Printable(const std::string& Text) {
  return EscapeControls(Text);
}

// A row drawn in place must not wrap, or erasing it would leave its tail on the screen.
std::string ConsoleProgress::Fit(const std::string& Text) const {
  int columns = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80 && ++columns >= width_) {
      return Text.substr(0, i);
    }
  }
  return Text;
}

std::string ConsoleProgress::BarText() const {
  constexpr int kWidth = 24;
  const int filled = max_ > 0 ? static_cast<int>(int64_t{position_} * kWidth / max_) : kWidth;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(kWidth - filled), '-') + "] " +
         ProgressText(position_, max_, clock_() - start_);
}

void ConsoleProgress::EraseLive() {
  if (liveRows_ == 0) {
    return;
  }
  out_ << '\r';
  if (liveRows_ > 1) {
    out_ << "\033[" << liveRows_ - 1 << 'A';
  }
  out_ << "\033[J";
  liveRows_ = 0;
}

void ConsoleProgress::DrawLive() {
  if (!status_.empty()) {
    out_ << Fit(status_);
    ++liveRows_;
  }
  if (barShown_) {
    out_ << (liveRows_ > 0 ? "\n" : "") << Fit(BarText());
    ++liveRows_;
  }
}

void ConsoleProgress::OnProgress(int32_t Position, int32_t Max, bool& Abort) {
  if (steps_) {
    Abort = cancelRequested_ && cancelRequested_();
    if (!terminal_ || Max <= 0) {
      return;
    }
    const int percent =
        static_cast<int>(std::clamp<int64_t>((int64_t{Position} + 1) * 100 / Max, 0, 100));
    if (percent != percent_) {
      percent_ = percent;
      DrawSteps();
    }
    return;
  }
  const double now = clock_();
  if (start_ < 0 || Position == 0) {
    start_ = now;
  }
  position_ = Position;
  max_ = Max;
  if (terminal_) {
    barShown_ = true;
    EraseLive();
    DrawLive();
    out_ << std::flush;
  } else {
    const int tenth = Max > 0 ? static_cast<int>(int64_t{Position} * 10 / Max) : 10;
    if (tenth != lastTenth_) {
      lastTenth_ = tenth;
      out_ << "Progress: " << ProgressText(Position, Max, now - start_) << '\n' << std::flush;
    }
  }
  Abort = cancelRequested_ && cancelRequested_();
}

void ConsoleProgress::SetMessage1(const std::string& Msg) {
  if (!steps_) {
    Line(Msg);
    return;
  }
  status_ = Printable(Msg);
  percent_ = -1;
  if (terminal_) {
    DrawSteps();
  }
}

void ConsoleProgress::Line(const std::string& Msg) {
  EraseLive();
  out_ << Printable(Msg) << '\n';
  DrawLive();
  out_ << std::flush;
}

void ConsoleProgress::SetMessage2(const std::string& Msg) {
  if (steps_) {
    return;
  }
  if (!terminal_ || verbose_) {
    Line(Msg);
    return;
  }
  status_ = Printable(Msg);
  EraseLive();
  DrawLive();
  out_ << std::flush;
}

void ConsoleProgress::Finish() {
  if (steps_) {
    // The line goes, so that the command's own output starts on a clean one.
    if (liveRows_ > 0) {
      out_ << "\r\033[K" << std::flush;
    }
    liveRows_ = 0;
    return;
  }
  if (liveRows_ > 0) {
    out_ << '\n' << std::flush;
  }
  liveRows_ = 0;
  status_.clear();
  barShown_ = false;
}

} // namespace tarnwick::cli
