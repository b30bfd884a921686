#include "base/memory_manager.h"

#include <cstdlib>

namespace tarvex {

void* HeapMemoryManager::allocate(std::size_t bytes) {
    // malloc(0) may answer null; a zero-byte block is still a block.
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void* HeapMemoryManager::reallocate(void* block, std::size_t bytes) {
    return std::realloc(block, bytes == 0 ? 1 : bytes);
}

void HeapMemoryManager::release(void* block) {
    std::free(block);
}

MemoryManager& processHeap() {
    static HeapMemoryManager heap;
    return heap;
}

} // namespace tarvex
