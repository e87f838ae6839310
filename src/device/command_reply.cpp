#include "device/command_reply.hpp"

namespace tarnwick {

uint8_t* TIGotUCommandReply::AllocBuffer() {
  if (FBuffer != nullptr) {
    return FBuffer;
  }
  if (DataCount() <= 0) {
    return nullptr;
  }
  FDataBuffer.assign(static_cast<size_t>(DataCount()), 0);
  FBuffer = FDataBuffer.data();
  return FBuffer;
}

} // namespace tarnwick
