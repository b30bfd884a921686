#include "cache/text_arena.h"

#include <algorithm>
#include <cstdlib>
#include <sys/mman.h>

namespace tarvex::cache {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Slabs below a huge page come from the heap; the slabs after the first are at least this large.
constexpr std::size_t kSmallestSlab = std::size_t{64} << 10;

} // namespace

TextArena::~TextArena() {
    for (const Slab& slab : m_slabs) {
        if (slab.mapped) {
            ::munmap(slab.data, slab.size);
        } else {
            std::free(slab.data);
        }
    }
}

char* TextArena::allocate(std::size_t bytes) {
    if (m_slabs.empty() || m_slabs.back().size - m_used < bytes) {
        if (!addSlab(bytes)) {
            return nullptr;
        }
    }
    char* block = m_slabs.back().data + m_used;
    m_used += bytes;
    return block;
}

bool TextArena::addSlab(std::size_t atLeast) {
    const std::size_t size =
        std::max({atLeast, m_nextSlabBytes, m_slabs.empty() ? std::size_t{0} : kSmallestSlab});
    m_slabs.reserve(m_slabs.size() + 1);
    Slab slab{nullptr, size, size >= kHugePage};
    if (slab.mapped) {
        void* block =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) {
            return false;
        }
        // Only advice: without huge pages the slab is an ordinary mapping.
        ::madvise(block, size, MADV_HUGEPAGE);
        slab.data = static_cast<char*>(block);
    } else {
        slab.data = static_cast<char*>(std::malloc(size));
        if (slab.data == nullptr) {
            return false;
        }
    }
    m_slabs.push_back(slab);
    m_used = 0;
    m_slabBytes += size;
    // An estimate that fell short: the next slabs are a quarter of what there is already.
    m_nextSlabBytes = m_slabBytes / 4;
    return true;
}

} // namespace tarvex::cache
