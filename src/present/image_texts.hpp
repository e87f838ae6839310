#pragma once

#include "logger/point_records.hpp"
#include "logger/status_data.hpp"
#include "support/time_zone.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// The four status labels of the main window.
struct StatusLabelTexts {
  std::string Model;   ///< ModelName (empty for a code without a name)
  std::string Serial;  ///< serial number, unsigned decimal
  std::string Version; ///< "%d.%d" of major and minor version
  std::string Count;   ///< number of points, decimal
};

/// The labels for Status.
StatusLabelTexts StatusLabels(const RIGotUStatusData& Status);

/// One line per complete 16 bytes of the configuration block: "%4.4x" offset, " : ", and the
/// bytes as BytesToHex. A remainder under 16 bytes is not shown.
std::vector<std::string> ConfigDumpLines(const uint8_t* Data, int Length);

/// One entry of the log-message list: PointTimeText on the clock of Zone, a blank, the
/// message text. A time that cannot be decoded gives the error's message in its place.
std::string LogMessageEntry(const TIGotULogMsgPoint& Point, const TimeZone& Zone = {});

} // namespace tarnwick
