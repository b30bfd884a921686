#pragma once

#include "base/status.h"
#include "soap/output_sink.h"
#include "soap/soap_map.h"

#include <cstdint>

namespace tarvex::soap {

// The steps that differ between SOAP bindings: the Body start tag, the wrapper element of an
// operation or structure, and the start of one parameter or member element.
class EnvelopeStyle {
public:
    enum class Kind { RpcEncoded, WrappedDocument, DocumentLiteral };

    // Chosen from an operation map's call flags; `client` tells a request from a response.
    [[nodiscard]] static EnvelopeStyle forCall(std::uint32_t callFlags, bool client);

    [[nodiscard]] Kind kind() const { return m_kind; }

    [[nodiscard]] HResult startBody(OutputSink& sink) const;
    [[nodiscard]] HResult startWrapper(const SoapMap& map, OutputSink& sink) const;
    [[nodiscard]] HResult endWrapper(const SoapMap& map, OutputSink& sink) const;
    // The start tag of one entry's element, without its closing ">".
    [[nodiscard]] HResult startElement(const SoapMap& map, const SoapMapEntry& entry,
                                       OutputSink& sink) const;
    [[nodiscard]] HResult endElement(const SoapMap& map, const SoapMapEntry& entry,
                                     OutputSink& sink) const;

private:
    EnvelopeStyle(Kind kind, bool client) : m_kind(kind), m_client(client) {}

    [[nodiscard]] bool responseSuffix(const SoapMap& map) const;

    Kind m_kind;
    bool m_client;
};

} // namespace tarvex::soap
