#include "corekit/local_memory.h"

#include <cstdlib>

// A negative count is a caller's arithmetic gone wrong, never a request: it gets null.
extern "C" void* GetLocalMemory(std::int32_t bytes) {
  if (bytes < 0) return nullptr;
  return std::malloc(bytes > 0 ? static_cast<size_t>(bytes) : 1);
}

extern "C" void* ReallocLocalMemory(void* block, std::int32_t bytes) {
  if (bytes < 0) return nullptr;
  return std::realloc(block, bytes > 0 ? static_cast<size_t>(bytes) : 1);
}

extern "C" void FreeLocalMemory(void* block) {
  std::free(block);
}
