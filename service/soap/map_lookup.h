#pragma once

#include "soap/soap_map.h"

#include <cstdint>
#include <string_view>

namespace tarvex::soap {

// Finds an operation by its element name (and namespace, when one is given) in a
// null-terminated list of operation maps, comparing hash, length and text in that order.
// Returns the map and sets `index` to its position; null when none matches.
[[nodiscard]] const SoapMap* findOperation(const SoapMap* const* maps, std::u16string_view name,
                                           const std::u16string_view* ns, std::int32_t& index);

// First entry of `map` whose name matches, by hash, length and text.
[[nodiscard]] const SoapMapEntry* findEntry(const SoapMap& map, std::u16string_view name);

} // namespace tarvex::soap
