#pragma once

#include <cstddef>

namespace tarvex {

// Allocation of array blocks, binary values and scratch buffers of parsed and written records.
// Every function answers null when memory cannot be had.
class MemoryManager {
public:
    virtual ~MemoryManager() = default;
    [[nodiscard]] virtual void* allocate(std::size_t bytes) = 0;
    [[nodiscard]] virtual void* reallocate(void* block, std::size_t bytes) = 0;
    virtual void release(void* block) = 0;
};

// The process heap.
class HeapMemoryManager final : public MemoryManager {
public:
    [[nodiscard]] void* allocate(std::size_t bytes) override;
    [[nodiscard]] void* reallocate(void* block, std::size_t bytes) override;
    void release(void* block) override;
};

// One heap manager for the whole process; it keeps no state.
[[nodiscard]] MemoryManager& processHeap();

} // namespace tarvex
