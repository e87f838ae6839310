#include "logger/record_arena.hpp"

#include "logger/points_gt100.hpp"

#include <algorithm>

namespace tarnwick {

namespace {
// Every record class is a vtable pointer and 32 bytes.
constexpr size_t kAlign = alignof(TIGotUTrackPoint100);
constexpr size_t kMinChunk = size_t{64} * 1024;
size_t RoundUp(size_t n) {
  return (n + kAlign - 1) / kAlign * kAlign;
}
} // namespace

void RecordArena::Reserve(size_t Count) {
  const size_t bytes = RoundUp(sizeof(TIGotUTrackPoint100)) * Count;
  if (!chunks_.empty() && chunks_.back().Size - chunks_.back().Used >= bytes) {
    return;
  }
  Chunk chunk;
  chunk.Size = std::max(bytes, kMinChunk);
  chunk.Memory = std::make_unique<std::byte[]>(chunk.Size);
  chunks_.push_back(std::move(chunk));
}

void* RecordArena::Allocate(size_t Size) {
  Size = RoundUp(Size);
  if (chunks_.empty() || chunks_.back().Size - chunks_.back().Used < Size) {
    Chunk chunk;
    chunk.Size = std::max(Size, kMinChunk);
    chunk.Memory = std::make_unique<std::byte[]>(chunk.Size);
    chunks_.push_back(std::move(chunk));
  }
  Chunk& c = chunks_.back();
  void* p = c.Memory.get() + c.Used;
  c.Used += Size;
  return p;
}

} // namespace tarnwick
