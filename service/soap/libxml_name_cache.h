#pragma once

#include "base/utf16_buffer.h"
#include "soap/libxml_utf8.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvex::soap {

// Names from libxml2 come from its dictionary: one pointer per distinct name for the whole
// parse. The UTF-16 forms of an element's URI, local name and qualified name are kept by those
// pointers, so each name is converted once per parse.
class LibxmlNameCache {
public:
    struct Names {
        std::u16string_view uri;
        std::u16string_view local;
        std::u16string_view qname;
    };

    // A new parse: every slot counts as empty, without touching them.
    void clear() { ++m_generation; }

    // Views stay valid until the next call that lands on the same slot.
    Names get(Utf8 local, Utf8 prefix, Utf8 uri);

private:
    struct Slot {
        Utf8 local = nullptr;
        Utf8 prefix = nullptr;
        Utf8 uriKey = nullptr;
        std::uint64_t generation = 0;
        std::size_t localOffset = 0;
        Utf16Buffer uri;
        Utf16Buffer qname;
    };
    std::array<Slot, 64> m_slots;
    std::uint64_t m_generation = 1;
};

} // namespace tarvex::soap
