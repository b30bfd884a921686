#pragma once

#include <cstddef>
#include <string_view>

#include <libxml/xmlstring.h>

namespace tarvex::soap {

// Text as libxml2 hands it over: UTF-8, NUL-terminated or with an end pointer.
using Utf8 = const xmlChar*;

inline std::string_view utf8View(Utf8 text) {
    return text == nullptr ? std::string_view{}
                           : std::string_view{reinterpret_cast<const char*>(text)};
}

inline std::string_view utf8View(Utf8 begin, Utf8 end) {
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

} // namespace tarvex::soap
