#pragma once

#include "cache/large_block.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace tarvex::cache {

// Memory for the texts of a loaded cache: blocks handed out one after the other from large
// slabs (LargeBlock: huge pages where the system allows it), so that the texts of thousands of
// lists cost a few page faults instead of one per 4 KiB. The lists that hold texts here share
// the arena, which lives until the last of them is gone; nothing is given back before.
class TextArena {
public:
    // `expectedBytes`: what the texts will take in all, roughly; the first slab is that large.
    explicit TextArena(std::size_t expectedBytes) : m_nextSlabBytes(expectedBytes) {}

    // A block of `bytes`; nullptr when no memory can be had.
    [[nodiscard]] char* allocate(std::size_t bytes);

private:
    bool addSlab(std::size_t atLeast);

    std::vector<LargeBlock> m_slabs;
    std::size_t m_used = 0; // of the last slab
    std::size_t m_nextSlabBytes;
    std::size_t m_slabBytes = 0; // what the slabs take in all
};

using SharedTextArena = std::shared_ptr<TextArena>;

} // namespace tarvex::cache
