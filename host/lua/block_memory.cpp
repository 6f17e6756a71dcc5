#include "host/lua/block_memory.h"

namespace qv {

void ReturnFreedMemory() {
#if QV_USE_MIMALLOC
  mi_collect(true);
#endif
}

const char* BlockAllocatorName() {
#if QV_USE_MIMALLOC
  return "mimalloc";
#else
  return "crt";
#endif
}

}  // namespace qv
