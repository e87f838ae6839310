#include "device/com_port.hpp"

#include <fmt/format.h>

namespace tarnwick {

EComPort::EComPort(const std::string& What, int ErrorCode)
    : Exception(fmt::format("{} (Error: {})", What, ErrorCode)), FErrorCode(ErrorCode) {}

TIGotUComPort::TIGotUComPort(std::unique_ptr<TIGotUSerialLine> Line) : FComPort(std::move(Line)) {}

TIGotUComPort::~TIGotUComPort() {
  try {
    if (FComPort->Connected()) {
      FComPort->Close();
    }
  } catch (...) {
    // A port that is going away has nobody left to tell.
  }
}

} // namespace tarnwick
