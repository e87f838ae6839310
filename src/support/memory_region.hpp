#pragma once

#include <cstddef>

namespace tarnwick {

/// Memory for one large job that is freed all at once, such as a parsed document: address
/// space taken from the system in one piece (MapLargeRegion) and handed out front to back.
/// Only what is handed out and touched takes memory, in huge pages where the system offers
/// them; nothing is given back before the region goes. Empty (false) when the system gives
/// no region, as on Windows: Allocate then returns null and the caller takes ordinary memory.
/// Move-only; not for use by two threads at once.
class MemoryRegion {
 public:
  MemoryRegion() = default;
  /// Address space for Capacity bytes; empty when the system gives none.
  explicit MemoryRegion(size_t Capacity);
  ~MemoryRegion();
  MemoryRegion(MemoryRegion&& Other) noexcept;
  MemoryRegion& operator=(MemoryRegion&& Other) noexcept;
  MemoryRegion(const MemoryRegion&) = delete;
  MemoryRegion& operator=(const MemoryRegion&) = delete;

  explicit operator bool() const { return base_ != nullptr; }
  /// Bytes bytes aligned for any type, or null when they do not fit in what is left.
  void* Allocate(size_t Bytes);
  /// Bytes handed out so far, alignment included.
  size_t Used() const { return used_; }
  size_t Capacity() const { return capacity_; }

 private:
  void Release();

  char* base_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

} // namespace tarnwick
