#include "support/memory_region.hpp"

#include "support/os_memory.hpp"

#include <cstddef>
#include <utility>

namespace tarnwick {

namespace {

constexpr size_t kAlignment = alignof(std::max_align_t);

} // namespace

MemoryRegion::MemoryRegion(size_t Capacity)
    : base_(static_cast<char*>(MapLargeRegion(Capacity))),
      capacity_(base_ != nullptr ? Capacity : 0) {}

MemoryRegion::~MemoryRegion() {
  Release();
}

MemoryRegion::MemoryRegion(MemoryRegion&& Other) noexcept
    : base_(std::exchange(Other.base_, nullptr)), capacity_(std::exchange(Other.capacity_, 0)),
      used_(std::exchange(Other.used_, 0)) {}

MemoryRegion& MemoryRegion::operator=(MemoryRegion&& Other) noexcept {
  if (this != &Other) {
    Release();
    base_ = std::exchange(Other.base_, nullptr);
    capacity_ = std::exchange(Other.capacity_, 0);
    used_ = std::exchange(Other.used_, 0);
  }
  return *this;
}

void* MemoryRegion::Allocate(size_t Bytes) {
  // used_ stays a multiple of the alignment, and the region starts on a page.
  const size_t rounded = (Bytes + kAlignment - 1) & ~(kAlignment - 1);
  if (base_ == nullptr || rounded < Bytes || rounded > capacity_ - used_) {
    return nullptr;
  }
  void* block = base_ + used_;
  used_ += rounded;
  return block;
}

void MemoryRegion::Release() {
  UnmapLargeRegion(base_, capacity_);
  base_ = nullptr;
  capacity_ = 0;
  used_ = 0;
}

} // namespace tarnwick
