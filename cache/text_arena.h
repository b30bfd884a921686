#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tarvex::cache {

// Memory for the texts of a loaded cache: blocks handed out one after the other from large
// slabs, mapped in huge pages where the system allows it. A fresh process pays a page fault for
// every 4 KiB page it touches; for the 45 MB of texts of a large cache those faults cost more
// than reading the file. The lists that hold texts here share the arena, which lives until the
// last of them is gone; nothing is given back before.
class TextArena {
public:
    // `expectedBytes`: what the texts will take in all, roughly; the first slab is that large.
    explicit TextArena(std::size_t expectedBytes) : m_nextSlabBytes(expectedBytes) {}
    ~TextArena();
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // A block of `bytes`; nullptr when no memory can be had.
    [[nodiscard]] char* allocate(std::size_t bytes);
    // The bytes the slabs take.
    [[nodiscard]] std::size_t slabBytes() const { return m_slabBytes; }

private:
    struct Slab {
        char* data;
        std::size_t size;
        bool mapped;
    };

    bool addSlab(std::size_t atLeast);

    std::vector<Slab> m_slabs;
    std::size_t m_used = 0; // of the last slab
    std::size_t m_nextSlabBytes;
    std::size_t m_slabBytes = 0;
};

using SharedTextArena = std::shared_ptr<TextArena>;

} // namespace tarvex::cache
