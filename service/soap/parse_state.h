#pragma once

#include "base/status.h"
#include "soap/soap_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace tarvex::soap {

// Which entries of a map have been matched: the first 64 bits inline, more in steps of 64.
class EntrySet {
public:
    [[nodiscard]] bool test(std::size_t index) const {
        if (index < 64) {
            return (m_inline >> index & 1U) != 0;
        }
        const std::size_t word = index / 64 - 1;
        return word < m_moreWords && (m_more[word] >> (index % 64) & 1U) != 0;
    }

    [[nodiscard]] HResult set(std::size_t index) {
        if (index < 64) {
            m_inline |= std::uint64_t{1} << index;
            return kOk;
        }
        const std::size_t word = index / 64 - 1;
        if (word >= m_moreWords) {
            std::unique_ptr<std::uint64_t[]> more{new (std::nothrow) std::uint64_t[word + 1]};
            if (more == nullptr) {
                return kOutOfMemory;
            }
            for (std::size_t i = 0; i <= word; ++i) {
                more[i] = i < m_moreWords ? m_more[i] : 0;
            }
            m_more = std::move(more);
            m_moreWords = word + 1;
        }
        m_more[word] |= std::uint64_t{1} << (index % 64);
        return kOk;
    }

private:
    std::uint64_t m_inline = 0;
    std::unique_ptr<std::uint64_t[]> m_more;
    std::size_t m_moreWords = 0;
};

// What a new entry of the state stack starts with; the fields left out start at zero.
// StateStart{} expects nothing: it stands for an element that takes no children (a nil value,
// an href, an empty array).
struct StateStart {
    void* target = nullptr;
    const SoapMap* map = nullptr;
    const SoapMapEntry* entry = nullptr;
    std::uint32_t flags = 0;
    // Unknown-size arrays: elements allocated; operation states: the operation index.
    std::int32_t capacity = 0;
    std::int32_t expected = 0;
    std::int32_t seen = 0;
};

// One entry of the message handler's state stack.
struct ParseState {
    void* target = nullptr;  // record, member, or array member the values go to
    std::uint32_t flags = 0; // entry flags plus UnknownSize / ArrayItem
    std::int32_t capacity =
        0; // unknown-size arrays: elements allocated; operation states: the operation index
    std::int32_t expected = 0;
    std::int32_t seen = 0;
    const SoapMap* map = nullptr;
    const SoapMapEntry* entry = nullptr;
    EntrySet seenEntries;
    std::int32_t depth = 0;
};

} // namespace tarvex::soap
