// Where the plugins' Lua states get their memory: the counting allocator
// (sandbox.cpp) keeps each state's count and cap, and takes the blocks from
// here. With QV_USE_MIMALLOC (cmake/mimalloc.cmake) they come from mimalloc,
// otherwise from the C runtime's realloc/free.
#pragma once

#include <cstddef>
#include <cstdlib>

#if QV_USE_MIMALLOC
#include <mimalloc.h>
#endif

namespace qv {

// realloc's contract: block null makes a new block; null when out of memory.
inline void* ResizeBlock(void* block, std::size_t size) {
#if QV_USE_MIMALLOC
  return mi_realloc(block, size);
#else
  return std::realloc(block, size);
#endif
}

inline void FreeBlock(void* block) {
#if QV_USE_MIMALLOC
  mi_free(block);
#else
  std::free(block);
#endif
}

// Gives the memory that closed states freed on the calling thread back to the
// system. mimalloc keeps freed pages and segments for reuse and decommits them
// only after a delay, on a later allocation of the same thread; after closing
// states there may be no later allocation, so nothing would come back.
void ReturnFreedMemory();

// "mimalloc" or "crt", for the benchmark's report.
const char* BlockAllocatorName();

}  // namespace qv
