#pragma once

#include "logger/point_records.hpp"
#include "logger/slot_blocks.hpp"
#include "logger/tracks.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tarnwick::test {

/// Builds raw 32-byte records field by field, independently of the program's own encoder.
struct Slot {
  RIGotUPointSlot Bytes{};

  Slot& Flags(uint8_t v) {
    Bytes[0] = v;
    return *this;
  }
  Slot& YM(uint8_t v) {
    Bytes[1] = v;
    return *this;
  }
  Slot& DHM(uint16_t v) { return Word(2, v); }
  Slot& SMS(uint16_t v) { return Word(4, v); }
  /// A valid date: 2013-11-24 hh:mm:ss.ms.
  Slot& At(int h, int mi, int s, int ms = 0, int day = 24) {
    YM(0xDB);
    DHM(static_cast<uint16_t>(day << 11 | h << 6 | mi));
    return SMS(static_cast<uint16_t>(s * 1000 + ms));
  }
  Slot& Position(int32_t late7, int32_t lone7) {
    return DWord(12, static_cast<uint32_t>(late7)).DWord(16, static_cast<uint32_t>(lone7));
  }
  Slot& Word(int pos, uint16_t v) {
    Bytes[pos] = static_cast<uint8_t>(v >> 8);
    Bytes[pos + 1] = static_cast<uint8_t>(v);
    return *this;
  }
  Slot& DWord(int pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      Bytes[pos + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
    return *this;
  }
  Slot& Byte(int pos, uint8_t v) {
    Bytes[pos] = v;
    return *this;
  }
  Slot& Text(std::string_view t) {
    for (size_t i = 0; i < t.size() && i < 24; ++i) {
      Bytes[6 + i] = static_cast<uint8_t>(t[i]);
    }
    return *this;
  }
  const uint8_t* Ptr() const { return Bytes.data(); }
  /// Lets a built slot stand wherever a record is wanted.
  operator const RIGotUPointSlot&() const { return Bytes; }
};

/// A valid track point at hh:mm:ss with the given flag byte, somewhere away from 0, 0.
inline Slot Fix(uint8_t flags, int h, int mi, int s) {
  return Slot{}.Flags(flags).At(h, mi, s).Position(356812345, 1397654321);
}

/// A "RESET COUNTER" message at hh:mm:ss.
inline Slot Reset(int h, int mi, int s) {
  return Slot{}.Flags(0xF1).At(h, mi, s).Text("RESET COUNTER");
}

/// The slots one after another, as in a block buffer.
inline std::vector<uint8_t> Buffer(std::initializer_list<Slot> slots) {
  std::vector<uint8_t> b;
  for (const auto& s : slots) {
    b.insert(b.end(), s.Bytes.begin(), s.Bytes.end());
  }
  return b;
}

/// Blocks holding Slots one after another, as a memory image holds them.
inline std::unique_ptr<TIGotUSlotBlocks> BlocksOf(const std::vector<RIGotUPointSlot>& Slots) {
  auto blocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Slots.size()), kSlotSize);
  for (size_t i = 0; i < Slots.size(); ++i) {
    std::copy(Slots[i].begin(), Slots[i].end(), blocks->DataBuffer() + i * kSlotSize);
  }
  return blocks;
}

/// Slots decoded as a logger of Model would decode them, with the blocks they came from.
struct Decoded {
  std::unique_ptr<TIGotUSlotBlocks> Blocks;
  TIGotUPoints Points;
  Decoded(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots)
      : Blocks(BlocksOf(Slots)), Points(RModelResult{{0, 0, Model}}, Blocks.get()) {}
};

} // namespace tarnwick::test
