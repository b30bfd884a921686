// SoapMessageHandler's response side: arrays, their announced size and the slot of each item.
#include "soap/record_access.h"
#include "soap/record_walk.h"
#include "soap/soap_message_handler.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarvex::soap {
namespace {

constexpr std::u16string_view kEncodingNs = u"http://schemas.xmlsoap.org/soap/encoding/";

bool isXmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
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

bool fitsArrayLimit(std::int64_t count, std::size_t stride) {
    return count >= 0 && stride > 0 &&
           static_cast<std::uint64_t>(count) <= SoapMessageHandler::kMaxArrayBytes / stride;
}

} // namespace

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
            return pushState(StateStart{});
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
    if (const HResult status = pushState({.target = member,
                                          .map = &owner,
                                          .entry = &entry,
                                          .flags = stateFlags,
                                          .capacity = capacity,
                                          .expected = static_cast<std::int32_t>(expected)});
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

} // namespace tarvex::soap
