#include "support/memory_region.hpp"

#include "support/os_memory.hpp"

#include <cstddef>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define TARNWICK_REGION_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWICK_REGION_ASAN 1
#endif
#endif
#ifdef TARNWICK_REGION_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace tarnwick {

namespace {

constexpr size_t kAlignment = alignof(std::max_align_t);

// Under AddressSanitizer the region is poisoned but for the blocks handed out, with a gap
// after each, so that a block overrun is reported as it would be for malloc's blocks.
#ifdef TARNWICK_REGION_ASAN
constexpr size_t kRedZone = kAlignment;
void Poison(const void* Begin, size_t Bytes) {
  ASAN_POISON_MEMORY_REGION(Begin, Bytes);
}
void Unpoison(const void* Begin, size_t Bytes) {
  ASAN_UNPOISON_MEMORY_REGION(Begin, Bytes);
}
#else
constexpr size_t kRedZone = 0;
void Poison(const void*, size_t) {}
void Unpoison(const void*, size_t) {}
#endif

} // namespace

MemoryRegion::MemoryRegion(size_t Capacity)
    : base_(static_cast<char*>(MapLargeRegion(Capacity))),
      capacity_(base_ != nullptr ? Capacity : 0) {
  Poison(base_, capacity_);
}

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
  const size_t rounded = (Bytes + kRedZone + kAlignment - 1) & ~(kAlignment - 1);
  if (base_ == nullptr || rounded < Bytes || rounded > capacity_ - used_) {
    return nullptr;
  }
  void* block = base_ + used_;
  used_ += rounded;
  Unpoison(block, Bytes);
  return block;
}

void MemoryRegion::Release() {
  Unpoison(base_, capacity_);
  UnmapLargeRegion(base_, capacity_);
  base_ = nullptr;
  capacity_ = 0;
  used_ = 0;
}

} // namespace tarnwick
