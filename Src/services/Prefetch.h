// Asks for the cache lines of a pool block ahead of its use. The pools hand
// blocks out first in, first out, so a block coming out is the one used
// longest ago and is rarely still in a near cache; asking for it a few takes
// early lets the memory fetch run while the callers build other objects.
#pragma once
#include <cstddef>

// The processor's cache line. Pools whose blocks are walked every frame
// align them to it, so a block's hot fields take as few lines as they can.
constexpr std::size_t kCacheLineBytes = 64;

inline void prefetchBlockForWriting(const void* block, std::size_t bytes) {
    if (!block) return;
    const char* start = static_cast<const char*>(block);
    for (std::size_t offset = 0; offset < bytes; offset += kCacheLineBytes) __builtin_prefetch(start + offset, 1, 3);
}
