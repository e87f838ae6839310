#include "logger/slot_blocks.hpp"

namespace tarnwick {

TIGotUSlotBlocks::TIGotUSlotBlocks(uint16_t NumberOfSlots, uint16_t BytesInSlot)
    : FNumberOfSlots(NumberOfSlots), FBytesInSlot(BytesInSlot),
      FDataBuffer(size_t{NumberOfBlocks()} * kBlockSize, 0) {}

} // namespace tarnwick
