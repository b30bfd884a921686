#pragma once

#include "soap/soap_flags.h"

#include <cstddef>
#include <cstdint>

namespace tarvex::soap {

// Binary value (hexBinary, base64Binary) in a record: byte count, then the bytes.
struct XsdBinary {
    std::int32_t size;
    std::uint8_t* data;
};

struct XsdTypeName {
    const char16_t* wide;
    const char* name;
    std::int32_t length;
};

// Name of an XSD type on the wire ("int", "base64Binary"); null for codes outside 0..43.
[[nodiscard]] const XsdTypeName* xsdTypeName(XsdType type);

// Bytes one value takes in a record, the stride of arrays of XSD values. 0 for User, Error and
// UserBase: a structure's stride is its map's record size.
[[nodiscard]] std::size_t xsdMemorySize(XsdType type);

[[nodiscard]] constexpr bool isStringType(XsdType type) {
    // string, duration, anyURI .. NCName, dateTime .. gDay
    constexpr std::uint64_t kStringCodes =
        (1ULL << 0) | (1ULL << 5) | (((1ULL << 15) - 1) << 8) | (((1ULL << 8) - 1) << 36);
    const auto code = static_cast<std::uint32_t>(type);
    return code < 64 && ((kStringCodes >> code) & 1U) != 0;
}

[[nodiscard]] constexpr bool isBinaryType(XsdType type) {
    return type == XsdType::HexBinary || type == XsdType::Base64Binary;
}

} // namespace tarvex::soap
