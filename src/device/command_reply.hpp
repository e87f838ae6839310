#pragma once

#include "support/byte_order.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

/// Lead byte of every command frame and reply code of every valid reply.
inline constexpr uint8_t kIGotUFrameLead = 0x93;

/// The 3-byte header that starts every reply: reply code, then the data count.
struct RIGotUCommandReplyHeader {
  /// The bytes as received.
  std::array<uint8_t, 3> Header{};

  /// Whether the reply code is the valid one (0x93).
  bool CheckReply() const { return Header[0] == kIGotUFrameLead; }
  /// Bytes 1..2, big-endian, signed; negative is the logger's recoverable-error answer.
  int16_t DataCount() const { return static_cast<int16_t>(GetBE16(Header.data() + 1)); }
};

/// One reply: its header and the data bytes that followed it. The data goes either into an
/// outside buffer (not owned; the read command's destination) or into a buffer of its own.
class TIGotUCommandReply {
 public:
  /// A reply whose data goes to Buffer, which holds BufferSize bytes; without a buffer the
  /// reply allocates its own when the header announces data.
  explicit TIGotUCommandReply(uint8_t* Buffer = nullptr, size_t BufferSize = 0)
      : FBuffer(Buffer), outsideSize_(Buffer != nullptr ? BufferSize : 0),
        hasOutsideBuffer_(Buffer != nullptr) {}
  TIGotUCommandReply(const TIGotUCommandReply&) = delete;
  TIGotUCommandReply& operator=(const TIGotUCommandReply&) = delete;

  /// The header as read from the port.
  RIGotUCommandReplyHeader Header;

  /// The header's CheckReply.
  bool CheckReply() const { return Header.CheckReply(); }
  /// The header's DataCount.
  int16_t DataCount() const { return Header.DataCount(); }

  /// Where the data goes: the outside buffer unchanged, else a buffer of exactly DataCount
  /// bytes, else null when DataCount is 0 or negative.
  uint8_t* AllocBuffer();
  /// The data buffer as AllocBuffer left it (null before).
  uint8_t* GetBuffer() const { return FBuffer; }
  /// Whether the announced data fits where it goes: always for an own buffer; for an outside
  /// buffer only up to its size.
  bool DataFits() const {
    return !hasOutsideBuffer_ || DataCount() <= 0 ||
           static_cast<size_t>(DataCount()) <= outsideSize_;
  }

 private:
  std::vector<uint8_t> FDataBuffer;
  uint8_t* FBuffer;
  size_t outsideSize_;
  bool hasOutsideBuffer_;
};

} // namespace tarnwick
