#pragma once

#include "support/progress.hpp"

#include <functional>
#include <ostream>
#include <string>

namespace tarnwick::cli {

/// A progress sink on a text stream. On a terminal: a bar redrawn in place (blocks, percent,
/// bytes per second, time left) with the messages printed above it; otherwise plain lines:
/// every message, and a progress line at every tenth of the blocks.
class TConsoleProgress : public IProgressInterface {
 public:
  /// Seconds on a monotonic clock.
  using TClock = std::function<double()>;

  /// Writes to Out; CancelRequested is asked at every OnProgress. Clock defaults to the
  /// steady clock.
  TConsoleProgress(std::ostream& Out, bool Terminal, std::function<bool()> CancelRequested,
                   TClock Clock = {});

  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override;
  void SetMessage1(const std::string& Msg) override { Message(Msg); }
  void SetMessage2(const std::string& Msg) override { Message(Msg); }
  /// Ends the bar's line, so that what follows starts on a line of its own.
  void Finish();

  /// "12/512 blocks  2%  120.3 KiB/s  0:42 left" for Position of Max blocks after Seconds.
  static std::string ProgressText(int Position, int Max, double Seconds);

 private:
  void Message(const std::string& Msg);
  void DrawBar();

  std::ostream& FOut;
  bool FTerminal;
  std::function<bool()> FCancelRequested;
  TClock FClock;
  double FStart = -1;
  int FPosition = 0;
  int FMax = 0;
  int FLastTenth = -1;
  bool FBarShown = false;
};

} // namespace tarnwick::cli
