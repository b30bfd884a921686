// SoapMessageHandler's response side: href referrers, the value they share, its later copies.
#include "soap/record_walk.h"
#include "soap/soap_message_handler.h"

#include <new>
#include <vector>

namespace tarvex::soap {
namespace {

// What the table keeps for one waiting referrer: its slot in a list of referrers (which may
// have doubled) and, for an id not seen before, a hash-table node and the id itself. A value's
// list later moves whole into the shared groups, so it is not counted twice.
constexpr std::size_t kReferenceCost = 2 * sizeof(StoredReference) + 96;

} // namespace

HResult SoapMessageHandler::storeReference(std::u16string_view href, std::byte* destination,
                                           std::uint32_t flags, const SoapMap* owner,
                                           const SoapMapEntry& entry) {
    const bool isStruct = entry.type == XsdType::User && entry.nestedMap != nullptr &&
                          entry.nestedMap->kind == SoapMapKind::Struct;
    if ((entry.flags & SoapFlag::kAnyArray) == 0 && !isStruct) {
        return kFail;
    }
    if (!href.empty() && href.front() == u'#') {
        href.remove_prefix(1);
    }
    if (!m_budget.take(kReferenceCost + href.size() * sizeof(char16_t))) {
        return kOutOfMemory;
    }
    if (const HResult status =
            m_references.add(href, StoredReference{destination, flags, owner, &entry});
        failed(status)) {
        return status;
    }
    m_noChildren = true;
    return pushState(StateStart{});
}

HResult SoapMessageHandler::referencedValue(std::vector<StoredReference>&& referrers,
                                            const SaxAttributes& attributes) {
    std::u16string_view href;
    if (!failed(attributes.valueByQName(u"href", href))) {
        return kFail;
    }
    const StoredReference first = referrers.front();
    for (std::size_t i = 1; i < referrers.size(); ++i) {
        const StoredReference& other = referrers[i];
        const bool sameShape =
            other.entry->type == first.entry->type &&
            other.entry->nestedMap == first.entry->nestedMap &&
            (other.flags & SoapFlag::kAnyArray) == (first.flags & SoapFlag::kAnyArray);
        if (!sameShape) {
            return kFail;
        }
    }
    if (referrers.size() > 1) {
        // Every further referrer gets its own copy once the parse is complete.
        try {
            m_shared.push_back(std::move(referrers));
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
    }
    auto* destination = static_cast<std::byte*>(first.target);
    if ((first.flags & SoapFlag::kAnyArray) != 0) {
        return startArray(*first.map, *first.entry, destination, attributes);
    }
    return startValue(destination, *first.entry, first.flags);
}

HResult SoapMessageHandler::copyReferencedValues() {
    // Later values may fill referrers inside earlier ones, so the copies go last to first.
    for (auto group = m_shared.rbegin(); group != m_shared.rend(); ++group) {
        const StoredReference& from = group->front();
        auto* source = static_cast<std::byte*>(from.target);
        const bool wholeArray = (from.flags & SoapFlag::kAnyArray) != 0;
        for (std::size_t i = group->size() - 1; i > 0; --i) {
            auto* target = static_cast<std::byte*>((*group)[i].target);
            const HResult status =
                wholeArray ? copyMember(*from.map, *from.entry, source, target, m_memory, m_budget)
                           : copyItem(*from.entry, source, target, m_memory, m_budget);
            if (failed(status)) {
                return status;
            }
        }
    }
    return kOk;
}

} // namespace tarvex::soap
