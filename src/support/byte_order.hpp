#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

// The logger's records and frames are big-endian except for a few little-endian fields (the
// serial number, the speed samples). These read and write them byte by byte, so they give the
// same result on any host and never depend on a buffer's alignment.

/// The 16-bit big-endian number at P[0..1].
constexpr uint16_t GetBE16(const uint8_t* P) {
  return static_cast<uint16_t>(P[0] << 8 | P[1]);
}

/// The 24-bit big-endian number at P[0..2].
constexpr uint32_t GetBE24(const uint8_t* P) {
  return uint32_t{P[0]} << 16 | uint32_t{P[1]} << 8 | uint32_t{P[2]};
}

/// The 32-bit big-endian number at P[0..3].
constexpr uint32_t GetBE32(const uint8_t* P) {
  return uint32_t{P[0]} << 24 | uint32_t{P[1]} << 16 | uint32_t{P[2]} << 8 | uint32_t{P[3]};
}

/// The 16-bit little-endian number at P[0..1].
constexpr uint16_t GetLE16(const uint8_t* P) {
  return static_cast<uint16_t>(P[0] | P[1] << 8);
}

/// The 32-bit little-endian number at P[0..3].
constexpr uint32_t GetLE32(const uint8_t* P) {
  return uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 | uint32_t{P[3]} << 24;
}

/// P[0..1] := Value, most significant byte first.
constexpr void PutBE16(uint8_t* P, uint16_t Value) {
  P[0] = static_cast<uint8_t>(Value >> 8);
  P[1] = static_cast<uint8_t>(Value);
}

/// P[0..2] := the low 24 bits of Value, most significant byte first; bits 24..31 are dropped.
constexpr void PutBE24(uint8_t* P, uint32_t Value) {
  P[0] = static_cast<uint8_t>(Value >> 16);
  P[1] = static_cast<uint8_t>(Value >> 8);
  P[2] = static_cast<uint8_t>(Value);
}

/// P[0..3] := Value, most significant byte first.
constexpr void PutBE32(uint8_t* P, uint32_t Value) {
  P[0] = static_cast<uint8_t>(Value >> 24);
  P[1] = static_cast<uint8_t>(Value >> 16);
  P[2] = static_cast<uint8_t>(Value >> 8);
  P[3] = static_cast<uint8_t>(Value);
}

/// P[0..1] := Value, least significant byte first.
constexpr void PutLE16(uint8_t* P, uint16_t Value) {
  P[0] = static_cast<uint8_t>(Value);
  P[1] = static_cast<uint8_t>(Value >> 8);
}

/// P[0..3] := Value, least significant byte first.
constexpr void PutLE32(uint8_t* P, uint32_t Value) {
  P[0] = static_cast<uint8_t>(Value);
  P[1] = static_cast<uint8_t>(Value >> 8);
  P[2] = static_cast<uint8_t>(Value >> 16);
  P[3] = static_cast<uint8_t>(Value >> 24);
}

// The same at Offset of a span. The field must lie inside the span (not checked, as with
// the span's own operator[]).

constexpr uint16_t GetBE16(std::span<const uint8_t> Bytes, size_t Offset) {
  return GetBE16(Bytes.data() + Offset);
}
constexpr uint32_t GetBE24(std::span<const uint8_t> Bytes, size_t Offset) {
  return GetBE24(Bytes.data() + Offset);
}
constexpr uint32_t GetBE32(std::span<const uint8_t> Bytes, size_t Offset) {
  return GetBE32(Bytes.data() + Offset);
}
constexpr uint16_t GetLE16(std::span<const uint8_t> Bytes, size_t Offset) {
  return GetLE16(Bytes.data() + Offset);
}
constexpr uint32_t GetLE32(std::span<const uint8_t> Bytes, size_t Offset) {
  return GetLE32(Bytes.data() + Offset);
}
constexpr void PutBE16(std::span<uint8_t> Bytes, size_t Offset, uint16_t Value) {
  PutBE16(Bytes.data() + Offset, Value);
}
constexpr void PutBE24(std::span<uint8_t> Bytes, size_t Offset, uint32_t Value) {
  PutBE24(Bytes.data() + Offset, Value);
}
constexpr void PutBE32(std::span<uint8_t> Bytes, size_t Offset, uint32_t Value) {
  PutBE32(Bytes.data() + Offset, Value);
}
constexpr void PutLE16(std::span<uint8_t> Bytes, size_t Offset, uint16_t Value) {
  PutLE16(Bytes.data() + Offset, Value);
}
constexpr void PutLE32(std::span<uint8_t> Bytes, size_t Offset, uint32_t Value) {
  PutLE32(Bytes.data() + Offset, Value);
}

} // namespace tarnwick
