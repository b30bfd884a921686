#pragma once

#include <cstddef>

namespace tarvex::cache {

// A block of memory that is not zeroed first. From 2 MiB up it is mapped in huge pages where the
// system allows it: a fresh process pays a page fault for every 4 KiB page it touches, and for
// the tens of megabytes of a large cache those faults cost more than reading them from the file.
// Smaller blocks come from malloc.
class LargeBlock {
public:
    LargeBlock() = default;
    // No memory (data() is nullptr) when none can be had, or for 0 bytes.
    explicit LargeBlock(std::size_t size);
    ~LargeBlock();
    LargeBlock(LargeBlock&& other) noexcept;
    LargeBlock& operator=(LargeBlock&& other) noexcept;
    LargeBlock(const LargeBlock&) = delete;
    LargeBlock& operator=(const LargeBlock&) = delete;

    [[nodiscard]] char* data() const { return m_data; }
    [[nodiscard]] std::size_t size() const { return m_size; }

private:
    void release();

    char* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace tarvex::cache
