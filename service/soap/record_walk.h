#pragma once

#include "base/memory_manager.h"
#include "base/status.h"
#include "soap/parse_budget.h"
#include "soap/soap_map.h"

#include <cstddef>
#include <cstdint>

namespace tarvex::soap {

// Walks over records described by maps: array counts, release of what a parse allocated, and
// deep copies.

// Elements in the dynamic array of `arrayEntry`, from its count member in `record` (the record
// that holds the array member). Any integer type is read at its width; other types and negative
// counts give 0.
[[nodiscard]] std::int64_t readArrayCount(const SoapMap& owner, const SoapMapEntry& arrayEntry,
                                          const void* record);
void writeArrayCount(const SoapMap& owner, const SoapMapEntry& arrayEntry, void* record,
                     std::int64_t count);

// Bytes one item of the entry's value takes: a structure's record size or the XSD size.
[[nodiscard]] std::size_t itemStride(const SoapMapEntry& entry);
// Items in an entry's fixed array: the product of its extents.
[[nodiscard]] std::int64_t fixedItemCount(const SoapMapEntry& entry);

// Releases what one member holds (strings, binary data, nested structures, array blocks) and
// leaves it empty. `member` is the member's address inside a record that `owner` describes.
void releaseMember(const SoapMap& owner, const SoapMapEntry& entry, std::byte* member,
                   MemoryManager& memory);
// The same for one item (an element of an array, or the member itself).
void releaseItem(const SoapMapEntry& entry, std::byte* item, MemoryManager& memory);
// Releases every entry of a record that `keep` accepts; nested structures are released whole.
template <class Filter>
void releaseRecord(const SoapMap& map, void* record, MemoryManager& memory, Filter keep) {
    for (const SoapMapEntry* e = map.entries; e != nullptr && !isTerminator(*e); ++e) {
        if ((e->flags & SoapFlag::SizeOnly) == 0 && keep(*e)) {
            releaseMember(map, *e, static_cast<std::byte*>(record) + e->offset, memory);
        }
    }
}

// Deep copies into empty (zeroed) storage: strings, binary data and array blocks are duplicated,
// each charged to `budget` first; past the budget the copy fails with kOutOfMemory.
// On failure what was copied so far stays in `target`, owned there, for the release walk.
[[nodiscard]] HResult copyMember(const SoapMap& owner, const SoapMapEntry& entry,
                                 const std::byte* source, std::byte* target, MemoryManager& memory,
                                 ParseBudget& budget);
[[nodiscard]] HResult copyItem(const SoapMapEntry& entry, const std::byte* source,
                               std::byte* target, MemoryManager& memory, ParseBudget& budget);

} // namespace tarvex::soap
