#pragma once

#include "support/progress.hpp"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace tarnwick::cli {

/// A progress sink on a text stream, for the download and for the GPX commands.
///
/// Download (the constructor): stage texts (message 1) are printed as lines of their own. On
/// a terminal, a bar (blocks, percent, bytes per second, time left) is redrawn in place, and
/// the latest status text (message 2) stands on one line above it, rewritten with each new
/// text; with Verbose every status text is printed as a line above the bar instead. Otherwise
/// plain lines: every text, and a progress line at every tenth of the blocks.
///
/// Steps (ForSteps): on a terminal one line redrawn in place, the stage text and a bar with
/// the percentage, cleared by Finish; silent otherwise. Status texts are not shown.
class ConsoleProgress : public IProgressInterface {
 public:
  /// Seconds on a monotonic clock.
  using Clock = std::function<double()>;

  /// Writes to Out; CancelRequested is asked at every OnProgress. Clock defaults to the
  /// steady clock; Width is the terminal's width in columns, which the lines drawn in place
  /// are cut to.
  ConsoleProgress(std::ostream& Out, bool Terminal, bool Verbose,
                  std::function<bool()> CancelRequested, Clock Clock = {}, int Width = 80);
  /// A sink for work counted in steps (GPX points) rather than blocks.
  static std::shared_ptr<ConsoleProgress> ForSteps(std::ostream& Out, bool Terminal,
                                                   std::function<bool()> CancelRequested);
  /// Finish.
  ~ConsoleProgress() override;
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override;
  void SetMessage1(const std::string& Msg) override;
  void SetMessage2(const std::string& Msg) override;
  /// Prints Msg as a line of its own, above the status line and the bar.
  void Line(const std::string& Msg);
  /// Ends what is drawn in place, so that what follows starts on a line of its own; the
  /// last status text and the bar stay on the screen.
  void Finish();

  /// "12/512 blocks  2%  120.3 KiB/s  0:42 left" for Position of Max blocks after Seconds.
  static std::string ProgressText(int Position, int Max, double Seconds);

 private:
  void DrawSteps();
  static std::string Printable(const std::string& Text);
  std::string Fit(const std::string& Text) const;
  std::string BarText() const;
  void EraseLive();
  void DrawLive();

  std::ostream& out_;
  bool terminal_;
  bool verbose_;
  std::function<bool()> cancelRequested_;
  Clock clock_;
  int width_;
  double start_ = -1;
  int position_ = 0;
  int max_ = 0;
  int lastTenth_ = -1;
  bool barShown_ = false;
  std::string status_; // the status text drawn in place
  int liveRows_ = 0;   // rows drawn in place below the printed lines; the cursor ends the last
  bool steps_ = false; // counts steps: one line in place, see ForSteps
  int percent_ = -1;   // steps: the percentage drawn, -1 for none
};

} // namespace tarnwick::cli
