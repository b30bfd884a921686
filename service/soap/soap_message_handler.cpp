#include "soap/soap_message_handler.h"

#include "soap/record_walk.h"

#include <new>

namespace tarvex::soap {
namespace {

constexpr std::size_t kStackGrowth = 16;
constexpr std::size_t kKeptTextUnits = std::size_t{32} << 10;

} // namespace

SoapMessageHandler::SoapMessageHandler(MemoryManager& memory, bool client)
    : m_memory(memory), m_client(client) {}

SoapMessageHandler::~SoapMessageHandler() {
    m_memory.release(m_ownedRecord);
}

HResult SoapMessageHandler::pushState(const StateStart& start) {
    try {
        if (m_states.size() == m_states.capacity()) {
            m_states.reserve(m_states.size() + kStackGrowth);
        }
        ParseState& state = m_states.emplace_back();
        state.target = start.target;
        state.flags = start.flags;
        state.capacity = start.capacity;
        state.expected = start.expected;
        state.seen = start.seen;
        state.map = start.map;
        state.entry = start.entry;
        state.depth = m_depth;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

const SoapMap* SoapMessageHandler::operationMap() const {
    if (m_states.empty()) {
        return nullptr;
    }
    const std::int32_t index = m_states.front().capacity;
    const SoapMap* const* functions = functionMaps();
    if (functions == nullptr || index < 0) {
        return nullptr;
    }
    for (std::int32_t i = 0; i <= index; ++i) {
        if (functions[i] == nullptr) {
            return nullptr;
        }
    }
    return functions[index];
}

void SoapMessageHandler::cleanupHeaders() {
    const SoapMap* const* headers = headerMaps();
    if (m_states.empty() || headers == nullptr || operationMap() == nullptr) {
        return;
    }
    const SoapMap* headerMap = headers[m_states.front().capacity];
    void* record = headerRecord();
    if (headerMap == nullptr || record == nullptr) {
        return;
    }
    const std::uint32_t owned = m_client ? SoapFlag::Out : ~0U;
    releaseRecord(*headerMap, record, m_memory,
                  [owned](const SoapMapEntry& e) { return (e.flags & owned) != 0; });
}

void SoapMessageHandler::cleanup() {
    cleanupHeaders();
    const SoapMap* operation = operationMap();
    if (operation == nullptr || m_parameterRecord == nullptr) {
        return;
    }
    // The client owns what came back (Out); a server owns all it read. Inside nested
    // structures everything is owned.
    const std::uint32_t owned = m_client ? SoapFlag::Out : ~0U;
    releaseRecord(*operation, m_parameterRecord, m_memory,
                  [owned](const SoapMapEntry& e) { return (e.flags & owned) != 0; });
    if (m_ownedRecord != nullptr && m_parameterRecord == m_ownedRecord) {
        m_memory.release(m_ownedRecord);
        m_ownedRecord = nullptr;
        m_parameterRecord = nullptr;
    }
}

void SoapMessageHandler::resetParse() {
    m_phase = ParsePhase::Start;
    m_depth = 0;
    m_noChildren = false;
    m_needChildren = false;
    m_needText = false;
    if (m_text.capacity() > kKeptTextUnits) {
        m_text = std::u16string{}; // one long text does not stay for the next parse
    }
    m_text.clear();
    m_budget.restart();
    m_leaf = Leaf{};
    m_references.clear();
    m_shared.clear();
}

HResult SoapMessageHandler::beginParse(SaxReader& reader, ByteStream& stream) {
    HResult status = kOk;
    // The SAX callbacks keep exceptions to themselves; this catches what the steps around the
    // parse may throw, so that no std::bad_alloc leaves the parser.
    try {
        status = runParse(reader, stream);
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    reader.setContentHandler(nullptr);
    m_reader = nullptr;
    m_references.clear();
    m_shared.clear();
    return status;
}

HResult SoapMessageHandler::runParse(SaxReader& reader, ByteStream& stream) {
    resetParse();
    m_reader = &reader;
    reader.setContentHandler(this);
    BudgetedStream counted{stream, m_budget};
    HResult status = reader.parse(counted);
    reader.setContentHandler(nullptr);
    m_reader = nullptr;
    if (!failed(status) && !m_references.empty()) {
        status = kFail; // an href whose id never came
    }
    if (!failed(status) && m_phase != ParsePhase::InParams) {
        status = kFail; // no Body, or a Body without the call or its response: nothing was read
    }
    if (!failed(status)) {
        status = copyReferencedValues();
    }
    return status;
}

} // namespace tarvex::soap
