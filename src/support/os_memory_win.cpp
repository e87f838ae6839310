#include "support/os_memory.hpp"

namespace tarnwick {

// Windows backs memory with large pages only for a process holding the "lock pages in
// memory" privilege, which a user's program does not have: its large memory comes from the
// ordinary allocator.
void* MapLargeRegion(size_t /*Bytes*/) {
  return nullptr;
}

void UnmapLargeRegion(void* /*Region*/, size_t /*Bytes*/) {}

} // namespace tarnwick
