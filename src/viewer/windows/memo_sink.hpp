#pragma once

#include "device/debug_msg_intf.hpp"

#include <string>

class QPlainTextEdit;

namespace tarnwick::viewer {

/// Status texts of the logger control to the window's memo, from whichever thread they come.
class MemoSink : public IIGotUDebugMsgIntf {
 public:
  explicit MemoSink(QPlainTextEdit* Memo) : memo_(Memo) {}
  void IGotUDebugMessage(const std::string& Msg) override;

 private:
  QPlainTextEdit* memo_;
};

} // namespace tarnwick::viewer
