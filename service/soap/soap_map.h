#pragma once

#include "soap/soap_flags.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tarvex::soap {

struct SoapMapEntry;

// One operation, structure, header set or enumeration. Maps are constant tables built at
// compile time; they never own data.
struct SoapMap {
    std::uint32_t nameHash;
    const char* name;
    const char16_t* wideName;
    std::int32_t nameLength;
    std::int32_t wideNameLength;
    SoapMapKind kind;
    const SoapMapEntry* entries; // ended by an entry whose hash and name are both 0
    std::uint32_t recordSize;
    std::int32_t elementCount;
    std::int32_t returnIndex;
    std::uint32_t callFlags;
    std::uint32_t nsHash;
    const char* ns;
    const char16_t* wideNs;
    std::int32_t nsLength;
};

// One parameter, member, header or enumerator. In an enumeration map `type` holds the
// enumerator's value. The field order is the table layout every map shares, padding and all.
struct SoapMapEntry { // NOLINT(clang-analyzer-optin.performance.Padding)
    std::uint32_t nameHash;
    const char* name;
    const char16_t* wideName;
    std::int32_t nameLength;
    XsdType type;
    std::uint32_t flags;
    std::uint32_t offset;
    const std::int32_t* dimensions; // fixed arrays: [n, extent1, ..., extentn]
    const SoapMap* nestedMap;
    std::int32_t sizeIsIndex;
    std::uint32_t nsHash;
    const char* ns;
    const char16_t* wideNs;
    std::int32_t nsLength;
};

// h = h * 33 + c over the characters, in 32-bit arithmetic. Byte names and UTF-16 names
// (by code unit) hash alike for ASCII text.
template <class Char>
[[nodiscard]] constexpr std::uint32_t soapHash(const Char* text, std::size_t length) {
    std::uint32_t hash = 0;
    for (std::size_t i = 0; i < length; ++i) {
        hash = hash * 33U +
               static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(text[i]));
    }
    return hash;
}

template <class Char>
[[nodiscard]] constexpr std::size_t textLength(const Char* text) {
    std::size_t length = 0;
    while (text != nullptr && text[length] != 0) {
        ++length;
    }
    return length;
}

[[nodiscard]] constexpr bool isTerminator(const SoapMapEntry& entry) {
    return entry.nameHash == 0 && entry.name == nullptr;
}

[[nodiscard]] constexpr bool hasEntries(const SoapMap& map) {
    return map.entries != nullptr && !isTerminator(map.entries[0]);
}

// Builders for the static maps. The wide name must spell the byte name; a mismatch is not a
// constant expression and stops the build.
consteval void requireSameText(const char* name, const char16_t* wide) {
    std::size_t i = 0;
    for (; name[i] != 0; ++i) {
        if (wide[i] != static_cast<char16_t>(static_cast<unsigned char>(name[i]))) {
            throw "wide name differs from the byte name";
        }
    }
    if (wide[i] != 0) {
        throw "wide name differs from the byte name";
    }
}

struct EntryOptions {
    const SoapMap* nestedMap = nullptr;
    std::int32_t sizeIsIndex = -1;
    const std::int32_t* dimensions = nullptr;
    const char* ns = nullptr;
    const char16_t* wideNs = nullptr;
};

consteval SoapMapEntry soapEntry(const char* name, const char16_t* wideName, XsdType type,
                                 std::uint32_t flags, std::size_t offset,
                                 EntryOptions options = {}) {
    requireSameText(name, wideName);
    if (options.ns != nullptr) {
        requireSameText(options.ns, options.wideNs);
    }
    const std::size_t length = textLength(name);
    const std::size_t nsLength = textLength(options.ns);
    return SoapMapEntry{soapHash(name, length),
                        name,
                        wideName,
                        static_cast<std::int32_t>(length),
                        type,
                        flags,
                        static_cast<std::uint32_t>(offset),
                        options.dimensions,
                        options.nestedMap,
                        options.sizeIsIndex,
                        options.ns != nullptr ? soapHash(options.ns, nsLength) : 0U,
                        options.ns,
                        options.wideNs,
                        static_cast<std::int32_t>(nsLength)};
}

consteval SoapMapEntry endOfEntries() {
    return SoapMapEntry{};
}

struct MapOptions {
    std::uint32_t callFlags = 0;
    const char* ns = nullptr;
    const char16_t* wideNs = nullptr;
};

consteval SoapMap soapMap(const char* name, const char16_t* wideName, SoapMapKind kind,
                          const SoapMapEntry* entries, std::size_t recordSize,
                          std::int32_t elementCount, MapOptions options = {}) {
    requireSameText(name, wideName);
    if (options.ns != nullptr) {
        requireSameText(options.ns, options.wideNs);
    }
    const std::size_t length = textLength(name);
    const std::size_t nsLength = textLength(options.ns);
    return SoapMap{soapHash(name, length),
                   name,
                   wideName,
                   static_cast<std::int32_t>(length),
                   static_cast<std::int32_t>(length),
                   kind,
                   entries,
                   static_cast<std::uint32_t>(recordSize),
                   elementCount,
                   -1,
                   options.callFlags,
                   options.ns != nullptr ? soapHash(options.ns, nsLength) : 0U,
                   options.ns,
                   options.wideNs,
                   static_cast<std::int32_t>(nsLength)};
}

} // namespace tarvex::soap
