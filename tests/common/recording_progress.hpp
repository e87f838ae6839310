#pragma once

#include "support/progress.hpp"

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::test {

/// A progress sink that records everything it is told and can cancel at a given report.
class RecordingProgress : public IProgressInterface {
 public:
  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override {
    Reports.emplace_back(Position, Max);
    Events.push_back("progress " + std::to_string(Position) + "/" + std::to_string(Max));
    Abort = CancelAtReport >= 0 && static_cast<int>(Reports.size()) > CancelAtReport;
  }
  void SetMessage1(const std::string& Msg) override {
    Message1.push_back(Msg);
    Events.push_back(Msg);
  }
  void SetMessage2(const std::string& Msg) override {
    Message2.push_back(Msg);
    Events.push_back("2:" + Msg);
  }

  /// Position and maximum of every report.
  std::vector<std::pair<int, int>> Reports;
  std::vector<std::string> Message1;
  std::vector<std::string> Message2;
  /// Everything in order: "progress Position/Max", message 1 as it is, "2:" and message 2.
  std::vector<std::string> Events;
  /// Cancels from report number CancelAtReport on (0 = the first, counted in Reports); -1 never.
  int CancelAtReport = -1;
};

} // namespace tarnwick::test
