// SoapMessageHandler's response side: elements matched to map entries, nil, nested structures.
#include "soap/parse_helpers.h"
#include "soap/record_access.h"
#include "soap/soap_message_handler.h"

#include <new>
#include <vector>

namespace tarvex::soap {
namespace {

constexpr std::u16string_view kInstanceNs = u"http://www.w3.org/2001/XMLSchema-instance";

// xsi:nil="true" or "1"; anything that does not read as a boolean is not nil.
bool isNil(const SaxAttributes& attributes) {
    std::u16string_view value;
    if (failed(attributes.valueByName(kInstanceNs, u"nil", value))) {
        return false;
    }
    return value == u"true" || value == u"1";
}

bool directionFits(const SoapMapEntry& entry, bool client) {
    const std::uint32_t own = client ? SoapFlag::Out : SoapFlag::In;
    const std::uint32_t other = client ? SoapFlag::In : SoapFlag::Out;
    return (entry.flags & own) != 0 || (entry.flags & other) == 0;
}

const SoapMapEntry* matchEntry(const SoapMap& map, std::u16string_view local, bool client,
                               std::size_t& index) {
    if (local.empty()) {
        return nullptr;
    }
    // Equal text implies an equal hash, so the length and the text decide; the hash of the
    // element name need not be computed.
    index = 0;
    for (const SoapMapEntry* e = map.entries; e != nullptr && !isTerminator(*e); ++e, ++index) {
        if (static_cast<std::size_t>(e->nameLength) == local.size() && e->wideName[0] == local[0] &&
            std::u16string_view{e->wideName, local.size()} == local && directionFits(*e, client)) {
            return e;
        }
    }
    return nullptr;
}

} // namespace

HResult SoapMessageHandler::parameterElement(std::u16string_view uri, std::u16string_view local,
                                             const SaxAttributes& attributes) {
    if (m_states.empty()) {
        return m_phase == ParsePhase::InHeader ? unknownHeader(uri, local, attributes) : kFail;
    }
    ParseState& state = m_states.back();
    if ((state.flags & SoapFlag::kAnyArray) != 0) {
        return itemElement(state, attributes);
    }
    return memberElement(state, uri, local, attributes);
}

HResult SoapMessageHandler::itemElement(ParseState& array, const SaxAttributes& attributes) {
    if (array.seen >= array.expected && (array.flags & SoapFlag::UnknownSize) == 0) {
        return kFail; // more items than announced
    }
    const SoapMapEntry& entry = *array.entry;
    const bool nil = isNil(attributes);
    if (nil && (entry.flags & SoapFlag::Nullable) == 0) {
        return kFail;
    }
    // A nil item takes its slot too, which stays empty, so the count still matches.
    std::byte* slot = nullptr;
    if (const HResult status = takeArraySlot(array, slot); failed(status)) {
        return status;
    }
    if (nil) {
        return startNil();
    }
    return startValueOrReference(slot, entry, entry.flags & ~SoapFlag::kAnyArray, array.map,
                                 attributes);
}

HResult SoapMessageHandler::memberElement(ParseState& state, std::u16string_view uri,
                                          std::u16string_view local,
                                          const SaxAttributes& attributes) {
    const SoapMap* map = state.map;
    if (map == nullptr) {
        return kFail; // inside a value that takes no elements
    }
    if ((map->callFlags & SoapFlag::Chain) != 0 && map->kind == SoapMapKind::Function) {
        return chainedElement(state, uri, local, attributes);
    }
    std::u16string_view id;
    if (!m_references.empty() && !failed(attributes.valueByQName(u"id", id))) {
        std::vector<StoredReference> referrers;
        try {
            referrers = m_references.take(id);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        if (!referrers.empty()) {
            return referencedValue(std::move(referrers), attributes);
        }
    }
    std::size_t index = 0;
    const SoapMapEntry* entry = matchEntry(*map, local, m_client, index);
    if (entry == nullptr) {
        return m_phase == ParsePhase::InHeader ? unknownHeader(uri, local, attributes) : kFail;
    }
    if (state.seenEntries.test(index)) {
        return kFail; // the element came twice
    }
    if (const HResult status = state.seenEntries.set(index); failed(status)) {
        return status;
    }
    ++state.seen;
    if (isNil(attributes)) {
        return (entry->flags & SoapFlag::Nullable) == 0 ? kFail : startNil();
    }
    std::byte* destination = byteAt(state.target, entry->offset);
    if ((entry->flags & SoapFlag::kAnyArray) != 0) {
        return startArray(*map, *entry, destination, attributes);
    }
    return startValueOrReference(destination, *entry, entry->flags, map, attributes);
}

HResult SoapMessageHandler::chainedElement(ParseState& state, std::u16string_view uri,
                                           std::u16string_view local,
                                           const SaxAttributes& attributes) {
    // The response elements are the members of the structure the out-entry describes.
    const SoapMap& map = *state.map;
    const SoapMapEntry& first = map.entries[0];
    const bool useFirst = (first.flags & SoapFlag::Out) != 0;
    if (isTerminator(first) || (!useFirst && isTerminator(map.entries[1]))) {
        return kFail;
    }
    const SoapMapEntry& chained = useFirst ? first : map.entries[1];
    if (chained.nestedMap == nullptr || state.seenEntries.test(useFirst ? 0 : 1)) {
        return kFail;
    }
    if (const HResult status = state.seenEntries.set(useFirst ? 0 : 1); failed(status)) {
        return status;
    }
    ++state.seen;
    void* target = byteAt(state.target, chained.offset);
    if (const HResult status = pushState({.target = target,
                                          .map = chained.nestedMap,
                                          .entry = &chained,
                                          .flags = chained.flags,
                                          .expected = chained.nestedMap->elementCount});
        failed(status)) {
        return status;
    }
    return parameterElement(uri, local, attributes);
}

HResult SoapMessageHandler::startNil() {
    m_noChildren = true;
    return pushState(StateStart{});
}

HResult SoapMessageHandler::startValueOrReference(std::byte* destination, const SoapMapEntry& entry,
                                                  std::uint32_t referenceFlags,
                                                  const SoapMap* owner,
                                                  const SaxAttributes& attributes) {
    std::u16string_view href;
    if (rpcEncoded() && !failed(attributes.valueByQName(u"href", href))) {
        return storeReference(href, destination, referenceFlags, owner, entry);
    }
    return startValue(destination, entry, entry.flags);
}

HResult SoapMessageHandler::startValue(std::byte* destination, const SoapMapEntry& entry,
                                       std::uint32_t flags) {
    m_text.clear();
    m_textStored = false;
    if (entry.type == XsdType::User) {
        const SoapMap* nested = entry.nestedMap;
        if (nested == nullptr) {
            return kFail;
        }
        if (nested->kind == SoapMapKind::Enum) {
            m_noChildren = true;
            m_needText = true;
            m_leaf = Leaf{true, destination, &entry, flags | SoapFlag::ArrayItem};
            return kOk;
        }
        if (nested->elementCount > 0) {
            m_needChildren = true;
        }
        return pushState({.target = destination,
                          .map = nested,
                          .entry = &entry,
                          .flags = flags & ~SoapFlag::kAnyArray,
                          .expected = nested->elementCount});
    }
    // Strings and base64 values may hold markup, which then becomes part of their text (the
    // text collector takes over at the first child element); other leaves take no children.
    if (!isCollected(entry)) {
        m_noChildren = true;
        m_needText = true;
    }
    // A leaf takes no state of its own: nothing can nest in it.
    m_leaf = Leaf{true, destination, &entry, flags | SoapFlag::ArrayItem};
    return kOk;
}

HResult SoapMessageHandler::checkComplete(const ParseState& state) const {
    if (state.seen == state.expected) {
        return kOk;
    }
    if ((state.flags & SoapFlag::kAnyArray) != 0) {
        return (state.flags & SoapFlag::UnknownSize) != 0 ? kOk : kFail;
    }
    if (state.map == nullptr) {
        return kFail;
    }
    // A map may lack only the entries it can do without.
    std::size_t index = 0;
    for (const SoapMapEntry* e = state.map->entries; e != nullptr && !isTerminator(*e);
         ++e, ++index) {
        if (state.seenEntries.test(index)) {
            continue;
        }
        const bool excused =
            (e->flags & (SoapFlag::SizeOnly | SoapFlag::Nullable)) != 0 ||
            (m_client ? ((e->flags & SoapFlag::In) != 0 && (e->flags & SoapFlag::Out) == 0)
                      : ((e->flags & SoapFlag::Out) != 0 && (e->flags & SoapFlag::In) == 0));
        if (!excused) {
            return kFail;
        }
    }
    return kOk;
}

} // namespace tarvex::soap
