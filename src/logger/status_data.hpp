#pragma once

#include "support/byte_order.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace tarnwick {

/// Reply of the model command: bytes 0 and 1 are kept but not interpreted, byte 2 is the model.
struct RModelResult {
  std::array<uint8_t, 3> Data{};

  /// The model code.
  uint8_t ModelType() const { return Data[2]; }
  /// "GT-100", "GT-200", "GT-120", "GT-800 or GT-900", or empty for any other code.
  std::string ModelName() const;
};

/// Reply of the identification command.
struct RIdentResult {
  std::array<uint8_t, 10> Data{};

  /// Bytes 0..3, little-endian: the only little-endian number of the protocol.
  uint32_t SerialNumber() const { return GetLE32(Data.data()); }
  uint8_t MajorVersion() const { return Data[4]; }
  uint8_t MinorVersion() const { return Data[5]; }
  /// Bytes 6..7, big-endian.
  uint16_t ModelNumber() const { return GetBE16(Data.data() + 6); }
  /// Bytes 8..9, big-endian.
  uint16_t USBLibVersion() const { return GetBE16(Data.data() + 8); }
};

/// Reply of the count command: byte 0 kept but not interpreted, bytes 1..2 the record count.
struct RCountResult {
  std::array<uint8_t, 3> Data{};

  /// Number of 32-byte point records in the logger (big-endian).
  uint16_t Count() const { return GetBE16(Data.data() + 1); }
};

/// Model code of the GT-800/GT-900 family; every other code decodes as the GT-100 family.
inline constexpr uint8_t kModelTypeGT800 = 0x17;

/// Status of a logger: the three replies, 16 bytes in all.
struct RIGotUStatusData {
  RModelResult FModel;
  RIdentResult FIdent;
  RCountResult FCount;

  /// The record count, from which every size of the point memory is taken.
  int32_t NumberOfPoints() const { return FCount.Count(); }
};

} // namespace tarnwick
