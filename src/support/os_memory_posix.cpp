#include "support/os_memory.hpp"

#include <cstdint>
#include <sys/mman.h>

namespace tarnwick {

namespace {

// A huge page is two megabytes on the machines that have them; the region starts on one.
constexpr size_t kHugePage = size_t{2} << 20;

// Bytes rounded up to whole huge pages, so that both ends of a region fall on page bounds.
size_t Rounded(size_t Bytes) {
  return (Bytes + kHugePage - 1) & ~(kHugePage - 1);
}

} // namespace

void* MapLargeRegion(size_t Bytes) {
  if (Bytes == 0 || Bytes > SIZE_MAX / 2) {
    return nullptr;
  }
  Bytes = Rounded(Bytes);
  // Mapped with a huge page to spare, so that the part kept can start on one. No swap is
  // reserved for it: the region is far larger than what a job mostly touches.
  const size_t mapped = Bytes + kHugePage;
  void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) {
    return nullptr;
  }
  // The offset to the next huge-page bound, kept as pointer arithmetic on the mapping.
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const size_t head = (kHugePage - start % kHugePage) % kHugePage;
  char* const region = static_cast<char*>(raw) + head;
  if (head > 0) {
    ::munmap(raw, head);
  }
  if (kHugePage - head > 0) {
    ::munmap(region + Bytes, kHugePage - head);
  }
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off or none is free, the region takes small ones.
  ::madvise(region, Bytes, MADV_HUGEPAGE);
#endif
  return region;
}

void UnmapLargeRegion(void* Region, size_t Bytes) {
  if (Region != nullptr) {
    ::munmap(Region, Rounded(Bytes));
  }
}

} // namespace tarnwick
