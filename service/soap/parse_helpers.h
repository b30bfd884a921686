#pragma once

// Helpers shared by the files of the response parser (response_*.cpp); not for other users.

#include "soap/soap_flags.h"
#include "soap/soap_map.h"

namespace tarvex::soap {

// Strings and base64 values are gathered by the text collector, markup and all.
[[nodiscard]] inline bool isCollected(const SoapMapEntry& entry) {
    return entry.type == XsdType::String || entry.type == XsdType::Base64Binary;
}

} // namespace tarvex::soap
