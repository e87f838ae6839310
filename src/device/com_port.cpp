#include "device/com_port.hpp"

namespace tarnwick {

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
