#pragma once

#include <string>

namespace tarnwick {

/// Receives the device control's status texts, one line each.
class IIGotUDebugMsgIntf {
 public:
  virtual ~IIGotUDebugMsgIntf() = default;
  /// Shows or records one line of status text.
  virtual void IGotUDebugMessage(const std::string& Msg) = 0;
};

} // namespace tarnwick
