#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

/// The only USB vendor whose devices are loggers (RaruviRoduvi).
inline constexpr uint16_t kIGotUVendorID = 0x0DF7;
/// Product that takes its command frames in two acknowledged 8-byte halves.
inline constexpr uint16_t kIGotUProductChunk8 = 0x0900;
/// Product that takes its command frames in one 16-byte write.
inline constexpr uint16_t kIGotUProductChunk16 = 0x0B80;

/// Bytes per frame write for a product of the vendor: 8, 16, or 0 for an unknown product
/// (whose port cannot send frames).
int ChunkSizeForProduct(uint16_t ProductID);

/// USB identity of a logger.
struct RIGotUDeviceInfoRec {
  /// USB vendor ID (idVendor).
  uint16_t VendorID = 0;
  /// USB product ID (idProduct).
  uint16_t ProductID = 0;
  /// The text after "REV_" in the hardware ID, unparsed (for example 0200).
  std::string Revision;

  /// All three equal; the revision compared as exact text.
  bool IsEqual(const RIGotUDeviceInfoRec& Rec) const {
    return VendorID == Rec.VendorID && ProductID == Rec.ProductID && Revision == Rec.Revision;
  }
};

/// One logger found on the bus.
class TIGotUDeviceInfo {
 public:
  /// A record of that identity; no name, chunk size 0.
  TIGotUDeviceInfo(uint16_t AVendorID, uint16_t AProductID, std::string ARevision)
      : InfoRec{AVendorID, AProductID, std::move(ARevision)} {}
  virtual ~TIGotUDeviceInfo() = default;

  /// The USB identity.
  RIGotUDeviceInfoRec InfoRec;
  /// The system's description of the device; empty when none could be read.
  std::string Name;
  /// Bytes per frame write (ChunkSizeForProduct); 0 for an unknown product.
  int ChunkSize = 0;
};

/// A logger with the serial port its driver offers.
class SerialDeviceInfo : public TIGotUDeviceInfo {
 public:
  using TIGotUDeviceInfo::TIGotUDeviceInfo;

  /// The port's device name (/dev/ttyACM0, COM5); empty when the system did not give one.
  std::string ComPort;
};

/// An owning list of found loggers, in the order the system listed them.
class TIGotUDeviceInfoList {
 public:
  /// Appends Info; the list owns it from now on.
  void Add(std::unique_ptr<TIGotUDeviceInfo> Info) { items_.push_back(std::move(Info)); }
  /// Number of loggers listed.
  int Count() const { return static_cast<int>(items_.size()); }
  /// Item Index (0 .. Count - 1; not checked).
  const TIGotUDeviceInfo& operator[](int Index) const {
    return *items_[static_cast<size_t>(Index)];
  }
  /// Iteration over the owned records, in list order.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<TIGotUDeviceInfo>> items_;
};

} // namespace tarnwick
