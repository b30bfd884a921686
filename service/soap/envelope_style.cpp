#include "soap/envelope_style.h"

#include "soap/soap_namespaces.h"

#include <string>
#include <string_view>

namespace tarvex::soap {
namespace {

std::string_view textOf(const char* text, std::int32_t length) {
    return text == nullptr ? std::string_view{}
                           : std::string_view{text, static_cast<std::size_t>(length)};
}

std::string_view nameOf(const SoapMap& map) {
    return textOf(map.name, map.nameLength);
}

std::string_view namespaceOf(const SoapMap& map) {
    return textOf(map.ns, map.nsLength);
}

std::string_view elementName(const SoapMapEntry& entry) {
    return (entry.flags & SoapFlag::RetVal) != 0 ? std::string_view{"return"}
                                                 : textOf(entry.name, entry.nameLength);
}

// The namespace an element is qualified with through the "snp" prefix; null when the element
// is unqualified.
const char* qualifyingNamespace(const SoapMap& map, const SoapMapEntry& entry,
                                std::int32_t& length) {
    const SoapMap* nested = entry.nestedMap;
    const bool nestedHasNamespace = nested != nullptr && nested->ns != nullptr;
    if (!((map.kind == SoapMapKind::Header && nestedHasNamespace) || entry.ns != nullptr)) {
        return nullptr;
    }
    if (nestedHasNamespace) {
        length = nested->nsLength;
        return nested->ns;
    }
    length = entry.nsLength;
    return entry.ns;
}

HResult writeAll(OutputSink& sink, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        if (const HResult status = writeText(sink, piece); failed(status)) {
            return status;
        }
    }
    return kOk;
}

} // namespace

EnvelopeStyle EnvelopeStyle::forCall(std::uint32_t callFlags, bool client) {
    if (isRpcEncoded(callFlags)) {
        return EnvelopeStyle{Kind::RpcEncoded, client};
    }
    if ((callFlags & SoapFlag::ParamsAsDocument) != 0) {
        return EnvelopeStyle{Kind::WrappedDocument, client};
    }
    return EnvelopeStyle{Kind::DocumentLiteral, client};
}

bool EnvelopeStyle::responseSuffix(const SoapMap& map) const {
    return map.kind == SoapMapKind::Function && !m_client &&
           (map.callFlags & SoapFlag::ParamsAsDocument) != 0;
}

HResult EnvelopeStyle::startBody(OutputSink& sink) const {
    static const std::string kRpcBody =
        "<soap:Body soap:encodingStyle=\"" + std::string{kEncodingNamespace} + "\">";
    return writeText(sink, m_kind == Kind::RpcEncoded ? std::string_view{kRpcBody} : "<soap:Body>");
}

HResult EnvelopeStyle::startWrapper(const SoapMap& map, OutputSink& sink) const {
    const bool function = map.kind == SoapMapKind::Function;
    if (m_kind == Kind::RpcEncoded) {
        if (function) {
            return writeAll(sink, {"<snp:", nameOf(map), " xmlns:snp=\"", namespaceOf(map), "\">"});
        }
        return writeAll(sink, {"<snp:", nameOf(map), ">"});
    }
    const std::string_view suffix = responseSuffix(map) ? "Response" : "";
    if (function) {
        return writeAll(sink, {"<", nameOf(map), suffix, " xmlns=\"", namespaceOf(map), "\">"});
    }
    return writeAll(sink, {"<", nameOf(map), suffix, ">"});
}

HResult EnvelopeStyle::endWrapper(const SoapMap& map, OutputSink& sink) const {
    if (m_kind == Kind::RpcEncoded) {
        return writeAll(sink, {"</snp:", nameOf(map), ">"});
    }
    return writeAll(sink, {"</", nameOf(map), responseSuffix(map) ? "Response" : "", ">"});
}

HResult EnvelopeStyle::startElement(const SoapMap& map, const SoapMapEntry& entry,
                                    OutputSink& sink) const {
    std::int32_t nsLength = 0;
    const char* ns = qualifyingNamespace(map, entry, nsLength);
    HResult status = writeAll(sink, {"<", ns != nullptr ? "snp:" : "", elementName(entry)});
    if (!failed(status) && ns != nullptr) {
        status = writeAll(sink, {" xmlns:snp=\"", textOf(ns, nsLength), "\""});
    }
    if (!failed(status) && (entry.flags & SoapFlag::MustUnderstand) != 0) {
        status = writeText(sink, " soap:mustUnderstand=\"1\"");
    }
    if (!failed(status) && m_kind == Kind::DocumentLiteral &&
        (map.callFlags & SoapFlag::NoWrapper) != 0) {
        status = writeAll(sink, {" xmlns=\"", namespaceOf(map), "\""});
    }
    return status;
}

HResult EnvelopeStyle::endElement(const SoapMap& map, const SoapMapEntry& entry,
                                  OutputSink& sink) const {
    std::int32_t nsLength = 0;
    const char* ns = qualifyingNamespace(map, entry, nsLength);
    return writeAll(sink, {"</", ns != nullptr ? "snp:" : "", elementName(entry), ">"});
}

} // namespace tarvex::soap
