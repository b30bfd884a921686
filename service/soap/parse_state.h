#pragma once

#include "soap_map.h"

#include <cstdint>

namespace tarvex::soap {

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
    std::int32_t depth = 0;
};

} // namespace tarvex::soap
