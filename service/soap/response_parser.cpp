// SoapMessageHandler's response side: element events by phase, the envelope, operation dispatch.
#include "base/sys_string.h"
#include "soap/map_lookup.h"
#include "soap/parse_helpers.h"
#include "soap/record_access.h"
#include "soap/soap_fault.h"
#include "soap/soap_message_handler.h"

#include <cstring>
#include <new>

namespace tarvex::soap {
namespace {

constexpr std::u16string_view kEnvelopeNs = u"http://schemas.xmlsoap.org/soap/envelope/";
constexpr std::uint32_t kEnvelopeNsHash = soapHash(kEnvelopeNs.data(), kEnvelopeNs.size());

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
    return pushState({.target = record,
                      .map = operation,
                      .capacity = index,
                      .expected = operation->elementCount});
}

HResult SoapMessageHandler::unknownHeader(std::u16string_view uri, std::u16string_view local,
                                          const SaxAttributes& attributes) {
    std::u16string_view value;
    if (!failed(attributes.valueByName(kEnvelopeNs, u"mustUnderstand", value)) && value != u"0" &&
        value != u"false") {
        faultHook(kFaultMustUnderstand, uri, local);
        return kFail;
    }
    m_skip.install(*m_reader, *this);
    // The skip handler keeps the element's end to itself.
    --m_depth;
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
    if ((m_states.back().flags & SoapFlag::kAnyArray) != 0) {
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
