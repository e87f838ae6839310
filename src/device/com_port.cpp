#include "device/com_port.hpp"

namespace tarnwick {

ComPort::ComPort(std::unique_ptr<SerialLine> Line) : FComPort(std::move(Line)) {}

ComPort::~ComPort() {
  try {
    if (FComPort->Connected()) {
      FComPort->Close();
    }
  } catch (...) {
    // A port that is going away has nobody left to tell.
  }
}

} // namespace tarnwick
