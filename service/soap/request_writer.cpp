// The request side of SoapMessageHandler: one operation call, held as a parameter record, turned
// into a SOAP 1.1 envelope by walking the operation's maps.
#include "base/sys_string.h"
#include "soap/record_access.h"
#include "soap/record_walk.h"
#include "soap/soap_message_handler.h"
#include "soap/soap_namespaces.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"

#include <charconv>
#include <string>

namespace tarvex::soap {
namespace {

const std::string kEnvelopeStart =
    "<soap:Envelope xmlns:soap=\"" + std::string{kEnvelopeNamespace} + "\" xmlns:xsi=\"" +
    std::string{kSchemaInstanceNamespace} + "\" xmlns:xsd=\"" + std::string{kSchemaNamespace} +
    "\" xmlns:soapenc=\"" + std::string{kEncodingNamespace} + "\">";

constexpr std::string_view kNil = " xsi:nil=\"1\"";

std::string_view textOf(const char* text, std::int32_t length) {
    return text == nullptr ? std::string_view{}
                           : std::string_view{text, static_cast<std::size_t>(length)};
}

HResult writeAll(OutputSink& sink, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        if (const HResult status = writeText(sink, piece); failed(status)) {
            return status;
        }
    }
    return kOk;
}

// Absent values are written as nil elements: null strings and binary blocks without data.
bool isAbsentValue(XsdType type, const void* value) {
    if (isStringType(type)) {
        return loadAt<SysString>(value) == nullptr;
    }
    if (isBinaryType(type)) {
        return loadAt<XsdBinary>(value).data == nullptr;
    }
    return false;
}

HResult writeEnumerator(const SoapMap& enumMap, const void* value, bool isArray, OutputSink& sink) {
    const auto stored = loadAt<std::int32_t>(value);
    const SoapMapEntry* match = nullptr;
    for (const SoapMapEntry* e = enumMap.entries; e != nullptr && !isTerminator(*e); ++e) {
        if (static_cast<std::int32_t>(e->type) == stored) {
            match = e;
            break;
        }
    }
    if (match == nullptr) {
        return kFail;
    }
    const std::string_view mapName = textOf(enumMap.name, enumMap.nameLength);
    if (isArray) {
        if (const HResult status = writeAll(sink, {"<", mapName, ">"}); failed(status)) {
            return status;
        }
    }
    if (const HResult status = writeText(sink, textOf(match->name, match->nameLength));
        failed(status)) {
        return status;
    }
    return isArray ? writeAll(sink, {"</", mapName, ">"}) : kOk;
}

} // namespace

HResult SoapMessageHandler::generateRequest(OutputSink& sink) {
    if (m_states.empty()) {
        return kFail;
    }
    const ParseState& first = m_states.front();
    const SoapMap* const* functions = functionMaps();
    const SoapMap* const* headers = headerMaps();
    if (first.map == nullptr || functions == nullptr || headers == nullptr || first.capacity < 0) {
        return kFail;
    }
    // The operation index must name an entry of both null-terminated lists.
    for (std::int32_t i = 0; i <= first.capacity; ++i) {
        if (functions[i] == nullptr || headers[i] == nullptr) {
            return kFail;
        }
    }
    const auto index = static_cast<std::size_t>(first.capacity);
    // On the client the first state holds the header map; on a server, the operation map.
    const SoapMap& operation = m_client ? *functions[index] : *first.map;
    const SoapMap& headerMap = m_client ? *first.map : *headers[index];
    void* record = m_client ? m_parameterRecord : first.target;
    if (record == nullptr) {
        return kPointer;
    }

    const EnvelopeStyle style = EnvelopeStyle::forCall(operation.callFlags, m_client);
    HResult status = writeText(sink, kEnvelopeStart);
    if (!failed(status)) {
        status = writeHeaders(style, headerMap, sink);
    }
    if (!failed(status)) {
        status = style.startBody(sink);
    }
    if (!failed(status)) {
        status = writeMap(style, operation, record, sink, true);
    }
    if (!failed(status)) {
        status = writeText(sink, "</soap:Body></soap:Envelope>");
    }
    return status;
}

HResult SoapMessageHandler::writeHeaders(const EnvelopeStyle& style, const SoapMap& headerMap,
                                         OutputSink& sink) {
    const std::uint32_t direction = m_client ? SoapFlag::In : SoapFlag::Out;
    bool any = false;
    for (const SoapMapEntry* e = headerMap.entries; e != nullptr && !isTerminator(*e); ++e) {
        any = any || (e->flags & direction) != 0;
    }
    if (!any) {
        return kOk;
    }
    HResult status = isRpcEncoded(headerMap.callFlags)
                         ? writeText(sink, "<soap:Header>")
                         : writeAll(sink, {"<soap:Header xmlns=\"",
                                           textOf(headerMap.ns, headerMap.nsLength), "\">"});
    if (!failed(status)) {
        status = writeMap(style, headerMap, headerRecord(), sink, false);
    }
    return failed(status) ? status : writeText(sink, "</soap:Header>");
}

HResult SoapMessageHandler::writeMap(const EnvelopeStyle& style, const SoapMap& map, void* record,
                                     OutputSink& sink, bool withWrapper) {
    if (record == nullptr) {
        return kPointer;
    }
    const bool wrap = withWrapper && (map.callFlags & SoapFlag::NoWrapper) == 0;
    if (wrap) {
        if (const HResult status = style.startWrapper(map, sink); failed(status)) {
            return status;
        }
    }
    const std::uint32_t direction = m_client ? SoapFlag::In : SoapFlag::Out;
    const std::uint32_t opposite = m_client ? SoapFlag::Out : SoapFlag::In;
    for (const SoapMapEntry* entry = map.entries; entry != nullptr && !isTerminator(*entry);
         ++entry) {
        if ((entry->flags & SoapFlag::SizeOnly) != 0 ||
            ((entry->flags & direction) == 0 && (entry->flags & opposite) != 0)) {
            continue;
        }
        HResult status = style.startElement(map, *entry, sink);
        if (failed(status)) {
            return status;
        }
        std::byte* member = byteAt(record, entry->offset);
        const bool dynamicArray = (entry->flags & SoapFlag::DynamicArray) != 0;
        const bool isArray = (entry->flags & SoapFlag::kAnyArray) != 0;
        if ((dynamicArray && loadAt<void*>(member) == nullptr) ||
            (!isArray && isAbsentValue(entry->type, member))) {
            status = writeAll(sink, {kNil, "/>"});
            if (failed(status)) {
                return status;
            }
            continue;
        }
        std::int64_t count = 1;
        std::size_t stride = 0;
        if (isArray) {
            status = writeArrayAttributes(map, *entry, record, sink, count, stride);
            if (failed(status)) {
                return status;
            }
        }
        status = writeText(sink, ">");
        std::byte* items = dynamicArray ? static_cast<std::byte*>(loadAt<void*>(member)) : member;
        for (std::int64_t i = 0; i < count && !failed(status); ++i) {
            std::byte* item = isArray ? items + static_cast<std::size_t>(i) * stride : member;
            status = writeItem(style, *entry, item, isArray, sink);
        }
        if (!failed(status)) {
            status = style.endElement(map, *entry, sink);
        }
        if (failed(status)) {
            return status;
        }
    }
    return wrap ? style.endWrapper(map, sink) : kOk;
}

HResult SoapMessageHandler::writeItem(const EnvelopeStyle& style, const SoapMapEntry& entry,
                                      void* item, bool isArray, OutputSink& sink) {
    if (entry.type == XsdType::User) {
        if (entry.nestedMap == nullptr) {
            return kFail;
        }
        if (entry.nestedMap->kind == SoapMapKind::Enum) {
            return writeEnumerator(*entry.nestedMap, item, isArray, sink);
        }
        return writeMap(style, *entry.nestedMap, item, sink, isArray);
    }
    if (!isArray) {
        return formatXsdValue(entry.type, item, sink, m_memory);
    }
    const XsdTypeName* typeName = xsdTypeName(entry.type);
    if (typeName == nullptr) {
        return kFail;
    }
    const std::string_view name{typeName->name, static_cast<std::size_t>(typeName->length)};
    const bool absent = isAbsentValue(entry.type, item);
    HResult status = writeAll(sink, {"<", name, absent ? kNil : "", ">"});
    if (!failed(status) && !absent) {
        status = formatXsdValue(entry.type, item, sink, m_memory);
    }
    return failed(status) ? status : writeAll(sink, {"</", name, ">"});
}

// SOAP 1.1 5.4.2: arrays carry their item type and extents in soapenc:arrayType.
HResult SoapMessageHandler::writeArrayAttributes(const SoapMap& map, const SoapMapEntry& entry,
                                                 const void* record, OutputSink& sink,
                                                 std::int64_t& count, std::size_t& stride) const {
    // Extents: a fixed array's dimensions, or a dynamic array's count member.
    const std::int32_t* dims = nullptr;
    std::int32_t dimensionCount = 1;
    std::int64_t dynamicSize = 0;
    if ((entry.flags & SoapFlag::FixedArray) != 0) {
        dims = entry.dimensions;
        dimensionCount = dims == nullptr ? 0 : dims[0];
    } else {
        if (entry.sizeIsIndex >= 0) {
            dynamicSize = readArrayCount(map, entry, record);
        }
        if (dynamicSize == 0) {
            count = 0;
            return kOk;
        }
    }
    const auto extent = [&](std::int32_t d) -> std::int64_t {
        return dims != nullptr ? dims[d + 1] : dynamicSize;
    };

    HResult status = kOk;
    if (entry.type == XsdType::User) {
        const SoapMap* nested = entry.nestedMap;
        if (nested == nullptr) {
            return kFail;
        }
        const std::string_view ns =
            nested->ns != nullptr
                ? textOf(nested->ns, nested->nsLength)
                : textOf(defaultNamespace(),
                         static_cast<std::int32_t>(textLength(defaultNamespace())));
        status = writeAll(sink, {" xmlns:q1=\"", ns, "\" soapenc:arrayType=\"q1:",
                                 textOf(nested->name, nested->nameLength)});
        stride = nested->recordSize;
    } else {
        const XsdTypeName* typeName = xsdTypeName(entry.type);
        if (typeName == nullptr) {
            return kFail;
        }
        status = writeAll(
            sink, {" soapenc:arrayType=\"xsd:",
                   std::string_view{typeName->name, static_cast<std::size_t>(typeName->length)}});
        stride = xsdMemorySize(entry.type);
    }
    if (failed(status)) {
        return status;
    }
    std::string text = "[";
    count = 1;
    for (std::int32_t d = 0; d < dimensionCount; ++d) {
        if (d > 0) {
            text += ", ";
        }
        text += std::to_string(extent(d));
        if (__builtin_mul_overflow(count, extent(d), &count)) {
            count = 0;
        }
    }
    text += "]\"";
    if (count < 0) {
        count = 0;
    }
    return writeText(sink, text);
}

} // namespace tarvex::soap
