#include "device/device_info.hpp"

namespace tarnwick {

int ChunkSizeForProduct(uint16_t ProductID) {
  switch (ProductID) {
  case kIGotUProductChunk8:
    return 8;
  case kIGotUProductChunk16:
    return 16;
  default:
    return 0;
  }
}

} // namespace tarnwick
