#include "cache/large_block.h"

#include <cstdlib>
#include <sys/mman.h>
#include <utility>

namespace tarvex::cache {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

} // namespace

LargeBlock::LargeBlock(std::size_t size) {
    if (size == 0) {
        return;
    }
    if (size < kHugePage) {
        m_data = static_cast<char*>(std::malloc(size));
    } else {
        void* block =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block != MAP_FAILED) {
            // Only advice: without huge pages the block is an ordinary mapping.
            ::madvise(block, size, MADV_HUGEPAGE);
            m_data = static_cast<char*>(block);
        }
    }
    m_size = m_data != nullptr ? size : 0;
}

LargeBlock::~LargeBlock() {
    release();
}

LargeBlock::LargeBlock(LargeBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

LargeBlock& LargeBlock::operator=(LargeBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void LargeBlock::release() {
    if (m_size >= kHugePage) {
        ::munmap(m_data, m_size);
    } else {
        std::free(m_data);
    }
    m_data = nullptr;
    m_size = 0;
}

} // namespace tarvex::cache
