// The response side of SoapMessageHandler: SAX events matched against the operation's maps and
// stored into its record.
#include "base/sys_string.h"
#include "soap/map_lookup.h"
#include "soap/record_access.h"
#include "soap/record_walk.h"
#include "soap/soap_message_handler.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <cstring>
#include <limits>

namespace tarvex::soap {
namespace {

constexpr std::u16string_view kEnvelopeNs = u"http://schemas.xmlsoap.org/soap/envelope/";
constexpr std::u16string_view kEncodingNs = u"http://schemas.xmlsoap.org/soap/encoding/";
constexpr std::u16string_view kInstanceNs = u"http://www.w3.org/2001/XMLSchema-instance";
constexpr std::uint32_t kEnvelopeNsHash = soapHash(kEnvelopeNs.data(), kEnvelopeNs.size());

bool isXmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Text between elements is white space in every sound message; four units are checked at once.
bool isAllXmlSpace(std::u16string_view text) {
    constexpr std::uint64_t kSpaces =
        (1ULL << ' ') | (1ULL << '\t') | (1ULL << '\r') | (1ULL << '\n');
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        std::uint64_t units = 0;
        std::memcpy(&units, text.data() + i, 8);
        // Any unit above 0x20 has a bit set outside the low six bits of its 16.
        if ((units & 0xFFC0FFC0FFC0FFC0ULL) != 0) {
            return false;
        }
        for (int k = 0; k < 4; ++k) {
            if (((kSpaces >> ((units >> (16 * k)) & 0x3F)) & 1U) == 0) {
                return false;
            }
        }
    }
    for (; i < text.size(); ++i) {
        if (text[i] > u' ' || ((kSpaces >> text[i]) & 1U) == 0) {
            return false;
        }
    }
    return true;
}

// xsi:nil="true" or "1"; anything that does not read as a boolean is not nil.
bool isNil(const SaxAttributes& attributes) {
    std::u16string_view value;
    if (failed(attributes.valueByName(kInstanceNs, u"nil", value))) {
        return false;
    }
    return value == u"true" || value == u"1";
}

// SOAP 1.1 5.4.2: the size in soapenc:arrayType="ns:Type[d1,d2]" is the product of the
// extents. "[]" means no size (-1). A negative extent ends the product where it stands.
HResult readArraySize(std::u16string_view text, std::int64_t& size) {
    const std::size_t open = text.find(u'[');
    if (open == std::u16string_view::npos) {
        return kFail;
    }
    if (open + 1 < text.size() && text[open + 1] == u']') {
        size = -1;
        return kOk;
    }
    const std::size_t close = text.find(u']', open);
    const std::u16string_view extents =
        text.substr(open + 1, close == std::u16string_view::npos ? close : close - open - 1);
    std::int64_t product = 1;
    std::size_t at = 0;
    while (true) {
        std::size_t i = at;
        while (i < extents.size() && isXmlSpace(extents[i])) {
            ++i;
        }
        const bool negative = i < extents.size() && extents[i] == u'-';
        if (i < extents.size() && (extents[i] == u'-' || extents[i] == u'+')) {
            ++i;
        }
        std::int64_t value = 0;
        for (; i < extents.size() && extents[i] >= u'0' && extents[i] <= u'9'; ++i) {
            value = std::min<std::int64_t>(value * 10 + (extents[i] - u'0'),
                                           std::numeric_limits<std::int32_t>::max());
        }
        if (negative && value > 0) {
            break;
        }
        if (__builtin_mul_overflow(product, value, &product)) {
            product = std::numeric_limits<std::int64_t>::max();
        }
        const std::size_t comma = extents.find(u',', at);
        if (comma == std::u16string_view::npos) {
            break;
        }
        at = comma + 1;
    }
    size = product;
    return kOk;
}

// What the table keeps for one waiting referrer: its slot in a list of referrers (which may
// have doubled) and, for an id not seen before, a hash-table node and the id itself. A value's
// list later moves whole into the shared groups, so it is not counted twice.
constexpr std::size_t kReferenceCost = 2 * sizeof(StoredReference) + 96;

// Strings and base64 values are gathered by the text collector, markup and all.
bool isCollected(const SoapMapEntry& entry) {
    return entry.type == XsdType::String || entry.type == XsdType::Base64Binary;
}

bool fitsArrayLimit(std::int64_t count, std::size_t stride) {
    return count >= 0 && stride > 0 &&
           static_cast<std::uint64_t>(count) <= SoapMessageHandler::kMaxArrayBytes / stride;
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

bool SoapMessageHandler::rpcEncoded() const {
    return !m_states.empty() && m_states.front().map != nullptr &&
           isRpcEncoded(m_states.front().map->callFlags);
}

HResult SoapMessageHandler::startElement(std::u16string_view uri, std::u16string_view local,
                                         std::u16string_view qname,
                                         const SaxAttributes& attributes) {
    if (m_leaf.active && isCollected(*m_leaf.entry)) {
        // Markup inside a string value: the collector gathers the rest of the element as text,
        // starting with what has arrived so far.
        if (m_textStored) {
            m_text.clear();
            if (const HResult status = appendText(sysStringView(loadAt<SysString>(m_leaf.target)));
                failed(status)) {
                return status;
            }
        }
        try {
            m_collector.install(*m_reader, *this, m_text, &m_budget);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        if (m_textStored) {
            // The collector hands over the whole text at the end; the record takes it then.
            sysFreeString(loadAt<SysString>(m_leaf.target));
            storeAt<SysString>(m_leaf.target, nullptr);
            m_textStored = false;
        }
        m_text.clear();
        return m_collector.startElement(uri, local, qname, attributes);
    }
    if (m_noChildren || m_needText) {
        return kFail;
    }
    m_needChildren = false;
    ++m_depth;
    switch (m_phase) {
    case ParsePhase::Start:
    case ParsePhase::InEnvelope:
    case ParsePhase::HeaderDone:
        return envelopeElement(uri, local);
    case ParsePhase::InBody: {
        const HResult status = dispatchCall(uri, local);
        if (failed(status)) {
            return status;
        }
        m_phase = ParsePhase::InParams;
        const SoapMap* operation = m_states.front().map;
        if ((operation->callFlags & SoapFlag::NoWrapper) != 0) {
            return parameterElement(uri, local, attributes);
        }
        return kOk;
    }
    case ParsePhase::InHeader:
    case ParsePhase::InParams:
        return parameterElement(uri, local, attributes);
    }
    return kFail;
}

HResult SoapMessageHandler::envelopeElement(std::u16string_view uri, std::u16string_view local) {
    if (uri.empty() || soapHash(uri.data(), uri.size()) != kEnvelopeNsHash || uri != kEnvelopeNs) {
        return kFail;
    }
    if (local == u"Envelope") {
        if (m_phase != ParsePhase::Start) {
            return kFail;
        }
        m_phase = ParsePhase::InEnvelope;
    } else if (local == u"Header") {
        if (m_phase != ParsePhase::InEnvelope) {
            return kFail;
        }
        m_phase = ParsePhase::InHeader;
    } else if (local == u"Body") {
        if (m_phase == ParsePhase::Start) {
            return kFail;
        }
        m_phase = ParsePhase::InBody;
    }
    // Any other element of the envelope namespace, or one without a local name, is ignored.
    return kOk;
}

HResult SoapMessageHandler::dispatchCall(std::u16string_view uri, std::u16string_view local) {
    const SoapMap* operation = nullptr;
    std::int32_t index = -1;
    if (!m_states.empty()) {
        // The client knows its operation; the wrapper's own name is not compared.
        const ParseState& top = m_states.back();
        if (top.map != nullptr && top.map->kind == SoapMapKind::Header) {
            if (const HResult status = checkComplete(top); failed(status)) {
                return status;
            }
        }
        operation = operationMap();
        index = m_states.front().capacity;
    } else {
        operation = findOperation(functionMaps(), local, &uri, index);
    }
    if (operation == nullptr) {
        return kFail;
    }
    void* record = m_parameterRecord;
    if (!m_client) {
        m_memory.release(m_ownedRecord);
        m_ownedRecord = m_memory.allocate(operation->recordSize);
        record = m_ownedRecord;
        m_parameterRecord = record;
    }
    if (record == nullptr) {
        return m_client ? kPointer : kOutOfMemory;
    }
    if (record != headerRecord()) {
        std::memset(record, 0, operation->recordSize);
    }
    m_states.clear();
    return pushState(record, operation, nullptr, 0, index, operation->elementCount, 0);
}

HResult SoapMessageHandler::unknownHeader(std::u16string_view uri, std::u16string_view local,
                                          const SaxAttributes& attributes) {
    std::u16string_view value;
    if (!failed(attributes.valueByName(kEnvelopeNs, u"mustUnderstand", value)) && value != u"0" &&
        value != u"false") {
        faultHook(200, uri, local);
        return kFail;
    }
    m_skip.install(*m_reader, *this);
    // The skip handler keeps the element's end to itself.
    --m_depth;
    return kOk;
}

HResult SoapMessageHandler::parameterElement(std::u16string_view uri, std::u16string_view local,
                                             const SaxAttributes& attributes) {
    if (m_states.empty()) {
        return m_phase == ParsePhase::InHeader ? unknownHeader(uri, local, attributes) : kFail;
    }
    ParseState& state = m_states.back();
    const SoapMapEntry* entry = nullptr;
    const bool isItem = (state.flags & SoapFlag::AnyArray) != 0;
    if (isItem) {
        entry = state.entry;
        if (state.seen >= state.expected && (state.flags & SoapFlag::UnknownSize) == 0) {
            return kFail; // more items than announced
        }
    } else {
        const SoapMap* map = state.map;
        if (map == nullptr) {
            return kFail; // inside a value that takes no elements
        }
        if ((map->callFlags & SoapFlag::Chain) != 0 && map->kind == SoapMapKind::Function) {
            // The response elements are the members of the structure the out-entry describes.
            const SoapMapEntry& first = map->entries[0];
            const bool useFirst = (first.flags & SoapFlag::Out) != 0;
            if (isTerminator(first) || (!useFirst && isTerminator(map->entries[1]))) {
                return kFail;
            }
            const SoapMapEntry& chained = useFirst ? first : map->entries[1];
            if (chained.nestedMap == nullptr || state.seenEntries.test(useFirst ? 0 : 1)) {
                return kFail;
            }
            if (const HResult status = state.seenEntries.set(useFirst ? 0 : 1); failed(status)) {
                return status;
            }
            ++state.seen;
            void* target = byteAt(state.target, chained.offset);
            if (const HResult status = pushState(target, chained.nestedMap, &chained, chained.flags,
                                                 0, chained.nestedMap->elementCount, 0);
                failed(status)) {
                return status;
            }
            return parameterElement(uri, local, attributes);
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
        entry = matchEntry(*map, local, m_client, index);
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
    }

    if (isNil(attributes)) {
        if ((entry->flags & SoapFlag::Nullable) == 0) {
            return kFail;
        }
        // A nil item takes its slot, which stays empty, so the count still matches.
        if (isItem) {
            std::byte* slot = nullptr;
            if (const HResult status = takeArraySlot(m_states.back(), slot); failed(status)) {
                return status;
            }
        }
        m_noChildren = true;
        return pushState(nullptr, nullptr, nullptr, 0, 0, 0, 0);
    }

    std::byte* destination = nullptr;
    const SoapMap* owner = state.map;
    if (isItem) {
        if (const HResult status = takeArraySlot(m_states.back(), destination); failed(status)) {
            return status;
        }
    } else {
        destination = byteAt(state.target, entry->offset);
        if ((entry->flags & SoapFlag::AnyArray) != 0) {
            return startArray(*owner, *entry, destination, attributes);
        }
    }

    std::u16string_view href;
    if (rpcEncoded() && !failed(attributes.valueByQName(u"href", href))) {
        const std::uint32_t flags = isItem ? (entry->flags & ~SoapFlag::AnyArray) : entry->flags;
        return storeReference(href, destination, flags, owner, *entry);
    }
    return startValue(destination, *entry, entry->flags);
}

HResult SoapMessageHandler::storeReference(std::u16string_view href, std::byte* destination,
                                           std::uint32_t flags, const SoapMap* owner,
                                           const SoapMapEntry& entry) {
    const bool isStruct = entry.type == XsdType::User && entry.nestedMap != nullptr &&
                          entry.nestedMap->kind == SoapMapKind::Struct;
    if ((entry.flags & SoapFlag::AnyArray) == 0 && !isStruct) {
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
    return pushState(nullptr, nullptr, nullptr, 0, 0, 0, 0);
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
            (other.flags & SoapFlag::AnyArray) == (first.flags & SoapFlag::AnyArray);
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
    if ((first.flags & SoapFlag::AnyArray) != 0) {
        return startArray(*first.map, *first.entry, destination, attributes);
    }
    return startValue(destination, *first.entry, first.flags);
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
        return pushState(destination, nested, &entry, flags & ~SoapFlag::AnyArray, 0,
                         nested->elementCount, 0);
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

HResult SoapMessageHandler::startArray(const SoapMap& owner, const SoapMapEntry& entry,
                                       std::byte* member, const SaxAttributes& attributes) {
    std::u16string_view href;
    if (rpcEncoded() && !failed(attributes.valueByQName(u"href", href))) {
        return storeReference(href, member, entry.flags, &owner, entry);
    }
    std::int64_t size = -1;
    std::u16string_view arrayType;
    if (!failed(attributes.valueByName(kEncodingNs, u"arrayType", arrayType))) {
        if (const HResult status = readArraySize(arrayType, size); failed(status)) {
            return status;
        }
    }
    const std::size_t stride = itemStride(entry);
    std::byte* record = member - entry.offset;
    std::uint32_t stateFlags = entry.flags & ~SoapFlag::ArrayItem;
    std::int32_t capacity = 0;
    std::int64_t expected = 0;
    if ((entry.flags & SoapFlag::DynamicArray) != 0) {
        if (loadAt<void*>(member) != nullptr || stride == 0) {
            return kFail;
        }
        if (size < 0) {
            if (rpcEncoded()) {
                return kFail; // SOAP encoding announces every array's size
            }
            constexpr std::int32_t kFirstBlock = 10;
            writeArrayCount(owner, entry, record, 0);
            void* block = m_parseMemory.allocate(kFirstBlock * stride);
            if (block == nullptr) {
                return kOutOfMemory;
            }
            std::memset(block, 0, kFirstBlock * stride);
            storeAt(member, block);
            stateFlags |= SoapFlag::UnknownSize;
            capacity = kFirstBlock;
        } else if (size == 0) {
            writeArrayCount(owner, entry, record, 0);
            m_noChildren = true;
            return pushState(nullptr, nullptr, nullptr, 0, 0, 0, 0);
        } else {
            if (!fitsArrayLimit(size, stride)) {
                return kFail;
            }
            const std::size_t bytes = static_cast<std::size_t>(size) * stride;
            void* block = m_parseMemory.allocate(bytes);
            if (block == nullptr) {
                return kOutOfMemory;
            }
            std::memset(block, 0, bytes);
            storeAt(member, block);
            writeArrayCount(owner, entry, record, size);
            expected = size;
        }
    } else {
        expected = fixedItemCount(entry);
        if ((size >= 0 && size != expected) || stride == 0) {
            return kFail;
        }
    }
    if (const HResult status = pushState(member, &owner, &entry, stateFlags, capacity,
                                         static_cast<std::int32_t>(expected), 0);
        failed(status)) {
        return status;
    }
    m_needChildren = true;
    return kOk;
}

HResult SoapMessageHandler::takeArraySlot(ParseState& array, std::byte*& slot) {
    const SoapMapEntry& entry = *array.entry;
    const std::size_t stride = itemStride(entry);
    auto* member = static_cast<std::byte*>(array.target);
    if ((entry.flags & SoapFlag::FixedArray) != 0) {
        slot = member + static_cast<std::size_t>(array.seen) * stride;
        ++array.seen;
        return kOk;
    }
    auto* block = static_cast<std::byte*>(loadAt<void*>(member));
    if ((array.flags & SoapFlag::UnknownSize) != 0) {
        if (array.seen >= array.capacity) {
            const std::int64_t grown = std::max<std::int64_t>(2 * std::int64_t{array.seen}, 10);
            if (!fitsArrayLimit(grown, stride)) {
                return kFail;
            }
            auto* larger = static_cast<std::byte*>(
                m_parseMemory.reallocate(block, static_cast<std::size_t>(grown) * stride));
            if (larger == nullptr) {
                return kOutOfMemory;
            }
            std::memset(larger + static_cast<std::size_t>(array.capacity) * stride, 0,
                        static_cast<std::size_t>(grown - array.capacity) * stride);
            block = larger;
            storeAt(member, static_cast<void*>(block));
            array.capacity = static_cast<std::int32_t>(grown);
        }
        writeArrayCount(*array.map, entry, member - entry.offset, array.seen + 1);
        ++array.expected;
    }
    slot = block + static_cast<std::size_t>(array.seen) * stride;
    ++array.seen;
    return kOk;
}

HResult SoapMessageHandler::characters(std::u16string_view text) {
    m_needText = false;
    if (!m_leaf.active) {
        // Only white space may stand between the elements of a structure or an array.
        if (!m_states.empty() &&
            (m_phase == ParsePhase::InParams || m_phase == ParsePhase::InHeader)) {
            if (!isAllXmlSpace(text)) {
                return kFail;
            }
        }
        return kOk;
    }
    if ((m_leaf.flags & SoapFlag::IgnoreText) != 0) {
        return kOk;
    }
    if (m_leaf.entry->type == XsdType::String && !m_textStored && m_text.empty()) {
        // The usual case: a string's whole text in one event goes straight into the record.
        m_textStored = true;
        return storeString(text);
    }
    if (m_textStored) {
        // More text after all: gather it with what is stored.
        m_text.clear();
        if (const HResult status = appendText(sysStringView(loadAt<SysString>(m_leaf.target)));
            failed(status)) {
            return status;
        }
        m_textStored = false;
    }
    return appendText(text);
}

HResult SoapMessageHandler::convertLeafText() {
    const SoapMapEntry& entry = *m_leaf.entry;
    if ((m_leaf.flags & SoapFlag::IgnoreText) != 0 || m_textStored) {
        return kOk;
    }
    if (entry.type == XsdType::User) {
        const SoapMap& enumeration = *entry.nestedMap;
        const std::uint32_t hash = soapHash(m_text.data(), m_text.size());
        for (const SoapMapEntry* e = enumeration.entries; e != nullptr && !isTerminator(*e); ++e) {
            if (e->nameHash == hash && static_cast<std::size_t>(e->nameLength) == m_text.size() &&
                std::u16string_view{e->wideName, m_text.size()} == m_text) {
                storeAt(m_leaf.target, static_cast<std::int32_t>(e->type));
                return kOk;
            }
        }
        return kFail;
    }
    if (m_text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return kOutOfMemory;
    }
    if (isStringType(entry.type)) {
        return storeString(m_text);
    }
    return parseXsdValue(entry.type, m_text.data(), static_cast<std::int32_t>(m_text.size()),
                         m_leaf.target, m_parseMemory);
}

HResult SoapMessageHandler::checkComplete(const ParseState& state) const {
    if (state.seen == state.expected) {
        return kOk;
    }
    if ((state.flags & SoapFlag::AnyArray) != 0) {
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

HResult SoapMessageHandler::endElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view /*qname*/) {
    if (m_needChildren || m_needText) {
        return kFail;
    }
    m_noChildren = false;
    --m_depth;
    if (m_leaf.active) {
        m_leaf.active = false;
        return convertLeafText();
    }
    if (m_states.empty()) {
        return kOk;
    }
    if (m_phase == ParsePhase::InHeader && m_states.size() == 1) {
        if (uri != kEnvelopeNs || local != u"Header") {
            return kFail;
        }
        m_phase = ParsePhase::HeaderDone;
        return kOk;
    }
    if ((m_states.back().flags & SoapFlag::AnyArray) != 0) {
        if (m_states.back().depth != m_depth + 1) {
            return kOk; // an item ended
        }
    }
    if (const HResult status = checkComplete(m_states.back()); failed(status)) {
        return status;
    }
    if (m_states.size() > 1) {
        m_states.pop_back();
    }
    return kOk;
}

} // namespace tarvex::soap
