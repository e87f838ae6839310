#pragma once

#include "common/slots.hpp"
#include "logger/whole_data.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace tarnwick::test {

/// A memory image holding Slots, as a logger of Model would have saved it (an erased
/// configuration block).
inline TIGotUWholeData ImageOf(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0, 1, Model};
  const auto count = static_cast<uint16_t>(Slots.size());
  image.Status.FCount.Data = {0, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
  image.ConfigBlock().assign(kBlockSize, 0xFF);
  image.SetBlocks(BlocksOf(Slots));
  return image;
}

/// A memory image of Points records of a logger of Model whose bytes (records and
/// configuration block alike) all differ from their neighbours, so that a byte in the wrong
/// place shows.
inline TIGotUWholeData PatternImage(int Points, uint8_t Model = 0x15) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0x00, 0x01, Model};
  image.Status.FIdent.Data = {0x78, 0x56, 0x34, 0x12, 1, 5, 0x00, 0x78, 0x01, 0x02};
  image.Status.FCount.Data = {0x00, static_cast<uint8_t>(Points >> 8),
                              static_cast<uint8_t>(Points & 0xFF)};
  image.ConfigBlock().resize(kBlockSize);
  for (size_t i = 0; i < kBlockSize; ++i) {
    image.ConfigBlock()[i] = static_cast<uint8_t>(i * 13 + 1);
  }
  auto blocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Points), kSlotSize);
  for (uint32_t i = 0; i < blocks->NumberOfBytes(); ++i) {
    blocks->DataBuffer()[i] = static_cast<uint8_t>(i * 31 + i / kBlockSize);
  }
  image.SetBlocks(std::move(blocks));
  return image;
}

/// Lets Edit change the records of Image in place (given as one buffer of all slots).
inline void EditRecords(TIGotUWholeData& Image, const std::function<void(uint8_t*)>& Edit) {
  const TIGotUSlotBlocks& old = *Image.Blocks();
  auto blocks = std::make_unique<TIGotUSlotBlocks>(old.NumberOfSlots(), kSlotSize);
  std::copy_n(old.DataBuffer(), old.NumberOfBytes(), blocks->DataBuffer());
  Edit(blocks->DataBuffer());
  Image.SetBlocks(std::move(blocks));
}

/// Expects Got to hold the same status, configuration block and records as Want.
inline void ExpectSameImage(const TIGotUWholeData& Got, const TIGotUWholeData& Want) {
  EXPECT_EQ(Got.Status.FModel.Data, Want.Status.FModel.Data);
  EXPECT_EQ(Got.Status.FIdent.Data, Want.Status.FIdent.Data);
  EXPECT_EQ(Got.Status.FCount.Data, Want.Status.FCount.Data);
  ASSERT_EQ(Got.ConfigLength(), static_cast<int>(kBlockSize));
  EXPECT_TRUE(
      std::equal(Got.ConfigBlockPtr(), Got.ConfigBlockPtr() + kBlockSize, Want.ConfigBlockPtr()));
  ASSERT_NE(Got.Blocks(), nullptr);
  ASSERT_EQ(Got.Blocks()->NumberOfBytes(), Want.Blocks()->NumberOfBytes());
  EXPECT_TRUE(std::equal(Got.Blocks()->DataBuffer(),
                         Got.Blocks()->DataBuffer() + Got.Blocks()->NumberOfBytes(),
                         Want.Blocks()->DataBuffer()));
}

} // namespace tarnwick::test
