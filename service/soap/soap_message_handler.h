#pragma once

#include "envelope_style.h"
#include "memory_manager.h"
#include "output_sink.h"
#include "parse_state.h"
#include "soap_map.h"
#include "status.h"

#include <cstdint>
#include <vector>

namespace tarvex::soap {

// The generic SOAP message object: it writes the request for one operation, guided only by the
// operation's maps, and (on the response side) parses the answer into the same record. A
// service proxy derives from it and supplies its maps.
class SoapMessageHandler {
public:
    SoapMessageHandler(MemoryManager& memory, bool client);
    virtual ~SoapMessageHandler() = default;
    SoapMessageHandler(const SoapMessageHandler&) = delete;
    SoapMessageHandler& operator=(const SoapMessageHandler&) = delete;

    // What the derived proxy supplies.
    // Operation maps, null-terminated; an operation's position identifies it.
    [[nodiscard]] virtual const SoapMap* const* functionMaps() const = 0;
    // Each operation's Header map, parallel to functionMaps().
    [[nodiscard]] virtual const SoapMap* const* headerMaps() const = 0;
    [[nodiscard]] virtual const char16_t* serviceNamespace() const = 0;
    // Used for xmlns:q1 when a nested map has no namespace.
    [[nodiscard]] virtual const char* defaultNamespace() const = 0;
    // The record that the Header maps describe.
    [[nodiscard]] virtual void* headerRecord() = 0;

    // Writes the whole envelope of the operation named by the first parse state.
    [[nodiscard]] HResult generateRequest(OutputSink& sink);
    [[nodiscard]] HResult writeHeaders(const EnvelopeStyle& style, const SoapMap& headerMap,
                                       OutputSink& sink);
    [[nodiscard]] HResult writeMap(const EnvelopeStyle& style, const SoapMap& map, void* record,
                                   OutputSink& sink, bool withWrapper);

    [[nodiscard]] HResult pushState(void* target, const SoapMap* map, const SoapMapEntry* entry,
                                    std::uint32_t flags, std::int32_t capacity,
                                    std::int32_t expected, std::int32_t seen);
    void clearStates() { m_states.clear(); }
    [[nodiscard]] const std::vector<ParseState>& states() const { return m_states; }

    void setParameterRecord(void* record) { m_parameterRecord = record; }
    [[nodiscard]] void* parameterRecord() const { return m_parameterRecord; }
    [[nodiscard]] bool isClient() const { return m_client; }
    [[nodiscard]] MemoryManager& memory() const { return m_memory; }

private:
    [[nodiscard]] HResult writeArrayAttributes(const SoapMap& map, const SoapMapEntry& entry,
                                               const void* record, OutputSink& sink,
                                               std::int64_t& count, std::size_t& stride) const;
    [[nodiscard]] HResult writeItem(const EnvelopeStyle& style, const SoapMapEntry& entry,
                                    void* item, bool isArray, OutputSink& sink);

    MemoryManager& m_memory;
    bool m_client;
    void* m_parameterRecord = nullptr;
    std::int32_t m_depth = 0; // element depth of the parse
    std::vector<ParseState> m_states;
};

} // namespace tarvex::soap
