#pragma once

#include "base/memory_manager.h"
#include "soap/output_sink.h"

#include <cstddef>
#include <string>

namespace tarvex::test {

// A sink whose write number `failAt` (0-based) and every later one fail with `status`.
class FailingSink final : public soap::OutputSink {
public:
    FailingSink(int failAt, HResult status) : m_failAt(failAt), m_status(status) {}

    [[nodiscard]] HResult write(const char* text, std::int32_t length,
                                std::uint32_t* written) override {
        if (m_calls++ >= m_failAt) {
            return m_status;
        }
        return m_inner.write(text, length, written);
    }
    [[nodiscard]] int calls() const { return m_calls; }
    [[nodiscard]] const std::string& text() const { return m_inner.text(); }

private:
    int m_failAt;
    HResult m_status;
    int m_calls = 0;
    soap::StringSink m_inner;
};

// Heap allocation that can be told to refuse, counting what is still outstanding.
class CountingMemory final : public MemoryManager {
public:
    [[nodiscard]] void* allocate(std::size_t bytes) override {
        if (refuse || allocations++ == failAt) {
            return nullptr;
        }
        ++outstanding;
        return m_heap.allocate(bytes);
    }
    [[nodiscard]] void* reallocate(void* block, std::size_t bytes) override {
        if (refuse || allocations++ == failAt) {
            return nullptr;
        }
        if (block == nullptr) {
            ++outstanding;
        }
        return m_heap.reallocate(block, bytes);
    }
    void release(void* block) override {
        if (block != nullptr) {
            --outstanding;
        }
        m_heap.release(block);
    }

    bool refuse = false;
    int failAt = -1; // the allocation (0-based) that fails
    int allocations = 0;
    int outstanding = 0;

private:
    HeapMemoryManager m_heap;
};

} // namespace tarvex::test
