#include "cache/text_arena.h"

#include <algorithm>

namespace tarvex::cache {
namespace {

// The slabs after the first are at least this large.
constexpr std::size_t kSmallestSlab = std::size_t{64} << 10;

} // namespace

char* TextArena::allocate(std::size_t bytes) {
    if (m_slabs.empty() || m_slabs.back().size() - m_used < bytes) {
        if (!addSlab(bytes)) {
            return nullptr;
        }
    }
    char* block = m_slabs.back().data() + m_used;
    m_used += bytes;
    return block;
}

bool TextArena::addSlab(std::size_t atLeast) {
    const std::size_t size =
        std::max({atLeast, m_nextSlabBytes, m_slabs.empty() ? std::size_t{0} : kSmallestSlab});
    LargeBlock slab{size};
    if (slab.data() == nullptr) {
        return false;
    }
    m_slabs.push_back(std::move(slab));
    m_used = 0;
    m_slabBytes += size;
    // An estimate that fell short: the next slabs are a quarter of what there is already.
    m_nextSlabBytes = m_slabBytes / 4;
    return true;
}

} // namespace tarvex::cache
