#include "soap/soap_fault.h"
#include "soap/soap_namespaces.h"
#include "soap/text_collector.h"

#include <array>
#include <string>

namespace tarvex::soap {
namespace {

constexpr std::u16string_view kEnvelopeNs = u"http://schemas.xmlsoap.org/soap/envelope/";
static_assert(kEnvelopeNs.size() == kEnvelopeNamespace.size());

// Reader states: the element being read, 0x80 once its text has come, 256 while skipping.
constexpr int kStart = 0;
constexpr int kEnvelope = 1;
constexpr int kBody = 2;
constexpr int kFault = 4;
constexpr int kFaultCode = 8;
constexpr int kFaultString = 16;
constexpr int kFaultActor = 32;
constexpr int kDetail = 64;
constexpr int kTextDone = 0x80;
constexpr int kSkipping = 256;

struct ElementRow {
    std::u16string_view name;
    int state;
    bool text;
};

constexpr std::array<ElementRow, 8> kElements{{
    {u"Envelope", kEnvelope, false},
    {u"Body", kBody, false},
    {u"Header", kBody, false},
    {u"Fault", kFault, false},
    {u"faultcode", kFaultCode, true},
    {u"faultstring", kFaultString, true},
    {u"faultactor", kFaultActor, true},
    {u"detail", kDetail, true},
}};

struct CodeRow {
    std::u16string_view text;
    std::int32_t code;
};

constexpr std::array<CodeRow, 4> kCodes{{
    {u"VersionMismatch", kFaultVersionMismatch},
    {u"MustUnderstand", kFaultMustUnderstand},
    {u"Client", kFaultClient},
    {u"Server", kFaultServer},
}};

class FaultHandler final : public SaxContentHandler {
public:
    FaultHandler(SaxReader& reader, SoapFaultInfo& info) : m_reader(reader), m_info(info) {}

    // What the fault's texts may hold, charged as they are kept.
    [[nodiscard]] ParseBudget& budget() { return m_budget; }

    [[nodiscard]] HResult startPrefixMapping(std::u16string_view prefix,
                                             std::u16string_view uri) override {
        if (uri == kEnvelopeNs) {
            try {
                m_envelopePrefix.assign(prefix);
                m_haveEnvelopePrefix = true;
            } catch (const std::bad_alloc&) {
                return kOutOfMemory;
            }
        }
        return kOk;
    }

    [[nodiscard]] HResult startElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view /*qname*/,
                                       const SaxAttributes& /*attributes*/) override {
        m_state &= ~kTextDone;
        const ElementRow* row = nullptr;
        for (const ElementRow& candidate : kElements) {
            if (candidate.name == local) {
                row = &candidate;
                break;
            }
        }
        if (row == nullptr) {
            // Unknown elements are tolerated only once the Fault has begun to be read.
            if (m_state < 5) {
                return kFail;
            }
            m_state = kSkipping;
            m_skip.install(m_reader, *this);
            return kOk;
        }
        if (!row->text) {
            if (uri != kEnvelopeNs || row->state <= m_state) {
                return kFail;
            }
            m_state = row->state;
            return kOk;
        }
        try {
            m_collector.install(m_reader, *this, {}, &m_budget);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        m_state = row->state;
        return kOk;
    }

    [[nodiscard]] HResult endElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                                     std::u16string_view /*qname*/) override {
        return kOk;
    }

    [[nodiscard]] HResult characters(std::u16string_view text) override {
        if ((m_state & kTextDone) != 0) {
            return kOk;
        }
        HResult status = kOk;
        switch (m_state) {
        case kEnvelope:
        case kBody:
        case kFault:
        case kSkipping:
            return kOk;
        case kFaultCode:
            status = m_info.code == 0 ? readCode(text) : kFail;
            break;
        case kFaultString:
            status = store(m_info.faultString, text);
            break;
        case kFaultActor:
            status = store(m_info.faultActor, text);
            break;
        case kDetail:
            status = store(m_info.detail, text);
            break;
        default:
            return kFail;
        }
        m_state |= kTextDone;
        return status;
    }

private:
    HResult store(UniqueSysString& field, std::u16string_view text) {
        if (field != nullptr) {
            return kFail;
        }
        if (!m_budget.take(stringCost(text.size()))) {
            return kOutOfMemory;
        }
        field.reset(sysAllocString(text));
        return field != nullptr ? kOk : kOutOfMemory;
    }

    // "prefix:Local", the prefix bound to the envelope namespace; an unknown local part leaves
    // the code at 0.
    HResult readCode(std::u16string_view text) {
        const auto colon = text.find(u':');
        if (colon == std::u16string_view::npos || !m_haveEnvelopePrefix ||
            text.substr(0, colon) != m_envelopePrefix) {
            return kFail;
        }
        const std::u16string_view localPart = text.substr(colon + 1);
        for (const CodeRow& row : kCodes) {
            if (row.text == localPart) {
                m_info.code = row.code;
                break;
            }
        }
        // The whole code text is kept; a second faultcode has failed above unless the first
        // named no known code, and then the later one is kept.
        m_info.faultCode.reset();
        return store(m_info.faultCode, text);
    }

    SaxReader& m_reader;
    SoapFaultInfo& m_info;
    int m_state = kStart;
    std::u16string m_envelopePrefix;
    bool m_haveEnvelopePrefix = false;
    TextCollector m_collector;
    SkipHandler m_skip;
    ParseBudget m_budget;
};

} // namespace

HResult parseFault(ByteStream* stream, SaxReader* reader, SoapFaultInfo& info) {
    if (stream == nullptr) {
        return kInvalidArg;
    }
    std::unique_ptr<SaxReader> ownReader;
    if (reader == nullptr) {
        ownReader = createSaxReader();
        if (ownReader == nullptr) {
            return kFail;
        }
        reader = ownReader.get();
    }
    info.clear();
    FaultHandler handler{*reader, info};
    BudgetedStream counted{*stream, handler.budget()};
    reader->setContentHandler(&handler);
    HResult status = kOk;
    try {
        status = reader->parse(counted);
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    reader->setContentHandler(nullptr);
    return status;
}

} // namespace tarvex::soap
