#include "soap/map_lookup.h"

namespace tarvex::soap {
namespace {

bool sameText(const char16_t* text, std::int32_t length, std::uint32_t hash,
              std::u16string_view name, std::uint32_t nameHash) {
    return hash == nameHash && length >= 0 && static_cast<std::size_t>(length) == name.size() &&
           (name.empty() || std::u16string_view{text, name.size()} == name);
}

} // namespace

const SoapMap* findOperation(const SoapMap* const* maps, std::u16string_view name,
                             const std::u16string_view* ns, std::int32_t& index) {
    const std::uint32_t nameHash = soapHash(name.data(), name.size());
    const std::uint32_t nsHash = ns != nullptr ? soapHash(ns->data(), ns->size()) : 0U;
    for (std::int32_t i = 0; maps != nullptr && maps[i] != nullptr; ++i) {
        const SoapMap& map = *maps[i];
        if (!sameText(map.wideName, map.wideNameLength, map.nameHash, name, nameHash)) {
            continue;
        }
        if (ns != nullptr && !sameText(map.wideNs, map.nsLength, map.nsHash, *ns, nsHash)) {
            continue;
        }
        index = i;
        return &map;
    }
    return nullptr;
}

const SoapMapEntry* findEntry(const SoapMap& map, std::u16string_view name) {
    const std::uint32_t nameHash = soapHash(name.data(), name.size());
    for (const SoapMapEntry* e = map.entries; e != nullptr && !isTerminator(*e); ++e) {
        if (sameText(e->wideName, e->nameLength, e->nameHash, name, nameHash)) {
            return e;
        }
    }
    return nullptr;
}

} // namespace tarvex::soap
