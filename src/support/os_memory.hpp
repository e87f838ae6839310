#pragma once

// Address space from the operating system, for memory that a job fills front to back.

#include <cstddef>

namespace tarnwick {

/// Address space for Bytes bytes, backed only as it is first touched, and where the system
/// offers them (Linux's transparent huge pages) in huge pages: one fault then brings in two
/// megabytes instead of four kilobytes, which makes touching tens of megabytes for the first
/// time several times cheaper. Null when the system gives none; on Windows always, which
/// leaves large memory to the ordinary allocator there.
void* MapLargeRegion(size_t Bytes);
/// Gives back a region MapLargeRegion returned for Bytes.
void UnmapLargeRegion(void* Region, size_t Bytes);

} // namespace tarnwick
