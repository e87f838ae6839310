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

void TRecordArena::Reserve(size_t Count) {
  const size_t bytes = RoundUp(sizeof(TIGotUTrackPoint100)) * Count;
  if (!FChunks.empty() && FChunks.back().Size - FChunks.back().Used >= bytes) {
    return;
  }
  TChunk chunk;
  chunk.Size = std::max(bytes, kMinChunk);
  chunk.Memory = std::make_unique<std::byte[]>(chunk.Size);
  FChunks.push_back(std::move(chunk));
}

void* TRecordArena::Allocate(size_t Size) {
  Size = RoundUp(Size);
  if (FChunks.empty() || FChunks.back().Size - FChunks.back().Used < Size) {
    TChunk chunk;
    chunk.Size = std::max(Size, kMinChunk);
    chunk.Memory = std::make_unique<std::byte[]>(chunk.Size);
    FChunks.push_back(std::move(chunk));
  }
  TChunk& c = FChunks.back();
  void* p = c.Memory.get() + c.Used;
  c.Used += Size;
  return p;
}

} // namespace tarnwick
