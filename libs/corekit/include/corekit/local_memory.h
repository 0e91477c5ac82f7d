#pragma once
// The shared heap: a block that one library allocates and another frees goes through these.

#include <cstdint>

extern "C" {
void* GetLocalMemory(std::int32_t bytes);
void* ReallocLocalMemory(void* block, std::int32_t bytes);
void FreeLocalMemory(void* block);
}
