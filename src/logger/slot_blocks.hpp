#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

/// Bytes in one block of logger memory.
inline constexpr uint32_t kBlockSize = 4096;

/// The point memory as fixed-size slots in whole 4096-byte blocks, zero-filled at creation.
class TIGotUSlotBlocks {
 public:
  TIGotUSlotBlocks(uint16_t NumberOfSlots, uint16_t BytesInSlot);

  uint16_t NumberOfSlots() const { return FNumberOfSlots; }
  uint16_t BytesInSlot() const { return FBytesInSlot; }
  /// NumberOfSlots x BytesInSlot: the bytes that belong to slots.
  uint32_t NumberOfBytes() const { return uint32_t{FNumberOfSlots} * FBytesInSlot; }
  /// Whole blocks needed for the slots; the buffer holds this many blocks.
  uint16_t NumberOfBlocks() const {
    return static_cast<uint16_t>((NumberOfBytes() + kBlockSize - 1) / kBlockSize);
  }
  /// First byte of the buffer (null when there are no blocks).
  uint8_t* DataBuffer() { return FDataBuffer.data(); }
  const uint8_t* DataBuffer() const { return FDataBuffer.data(); }
  /// Size of the buffer: NumberOfBlocks x 4096.
  size_t BufferSize() const { return FDataBuffer.size(); }
  /// First byte of block Idx (0 .. NumberOfBlocks - 1; not checked).
  uint8_t* GetBlockPtr(int Idx) {
    return FDataBuffer.data() + static_cast<size_t>(Idx) * kBlockSize;
  }
  const uint8_t* GetBlockPtr(int Idx) const {
    return FDataBuffer.data() + static_cast<size_t>(Idx) * kBlockSize;
  }

 private:
  uint16_t FNumberOfSlots;
  uint16_t FBytesInSlot;
  std::vector<uint8_t> FDataBuffer;
};

} // namespace tarnwick
