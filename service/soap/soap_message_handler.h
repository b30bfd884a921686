#pragma once

#include "base/memory_manager.h"
#include "base/status.h"
#include "soap/byte_stream.h"
#include "soap/envelope_style.h"
#include "soap/output_sink.h"
#include "soap/parse_budget.h"
#include "soap/parse_state.h"
#include "soap/reference_table.h"
#include "soap/sax_handler.h"
#include "soap/sax_reader.h"
#include "soap/soap_map.h"
#include "soap/text_collector.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::soap {

enum class ParsePhase : std::int32_t {
    Start = 0,
    InEnvelope = 1,
    InHeader = 2,
    InBody = 3,
    InParams = 4,
    HeaderDone = 7,
};

// The generic SOAP message object: it writes the request for one operation and parses the
// response into the same record, guided only by the operation's maps. A service proxy derives
// from it and supplies its maps. The parser is strict: anything the maps do not expect fails.
class SoapMessageHandler : public SaxContentHandler {
public:
    // Arrays announcing more than this (size times stride) are refused before allocation.
    static constexpr std::size_t kMaxArrayBytes = std::size_t{64} << 20;

    SoapMessageHandler(MemoryManager& memory, bool client);
    ~SoapMessageHandler() override;
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
    // Called before an unknown header that must be understood fails the parse (a server
    // answers with a MustUnderstand fault); the client does nothing.
    virtual void faultHook(std::int32_t /*code*/, std::u16string_view /*uri*/,
                           std::u16string_view /*local*/) {}

    // Request side: the whole envelope of the operation named by the first parse state.
    [[nodiscard]] HResult generateRequest(OutputSink& sink);
    [[nodiscard]] HResult writeHeaders(const EnvelopeStyle& style, const SoapMap& headerMap,
                                       OutputSink& sink);
    [[nodiscard]] HResult writeMap(const EnvelopeStyle& style, const SoapMap& map, void* record,
                                   OutputSink& sink, bool withWrapper);

    // Response side: runs `reader` over `stream` with this handler installed. What the parse
    // keeps (record values, copies of shared values, pending text, reference bookkeeping) is
    // charged to a ParseBudget; past it, and when memory cannot be had, the parse fails with
    // kOutOfMemory.
    [[nodiscard]] HResult beginParse(SaxReader& reader, ByteStream& stream);
    // Releases what the receiving side owns in the operation's record and the header record.
    void cleanup();
    void cleanupHeaders();

    [[nodiscard]] HResult pushState(const StateStart& start);
    void clearStates() { m_states.clear(); }
    [[nodiscard]] const std::vector<ParseState>& states() const { return m_states; }

    void setParameterRecord(void* record) { m_parameterRecord = record; }
    [[nodiscard]] void* parameterRecord() const { return m_parameterRecord; }
    [[nodiscard]] MemoryManager& memory() const { return m_memory; }

    // SAX events.
    [[nodiscard]] HResult startElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view qname,
                                       const SaxAttributes& attributes) override;
    [[nodiscard]] HResult endElement(std::u16string_view uri, std::u16string_view local,
                                     std::u16string_view qname) override;
    [[nodiscard]] HResult characters(std::u16string_view text) override;

private:
    // Writing.
    [[nodiscard]] HResult writeArrayAttributes(const SoapMap& map, const SoapMapEntry& entry,
                                               const void* record, OutputSink& sink,
                                               std::int64_t& count, std::size_t& stride) const;
    [[nodiscard]] HResult writeItem(const EnvelopeStyle& style, const SoapMapEntry& entry,
                                    void* item, bool isArray, OutputSink& sink);

    // Parsing.
    [[nodiscard]] HResult envelopeElement(std::u16string_view uri, std::u16string_view local);
    [[nodiscard]] HResult dispatchCall(std::u16string_view uri, std::u16string_view local);
    [[nodiscard]] HResult parameterElement(std::u16string_view uri, std::u16string_view local,
                                           const SaxAttributes& attributes);
    // An item of the array that `array` reads.
    [[nodiscard]] HResult itemElement(ParseState& array, const SaxAttributes& attributes);
    // An element of the structure or operation that `state` reads, matched to its map entry.
    [[nodiscard]] HResult memberElement(ParseState& state, std::u16string_view uri,
                                        std::u16string_view local, const SaxAttributes& attributes);
    // An element inside an operation whose map chains to the structure of its out-entry.
    [[nodiscard]] HResult chainedElement(ParseState& state, std::u16string_view uri,
                                         std::u16string_view local,
                                         const SaxAttributes& attributes);
    // A nil element: it takes no children and leaves its value empty.
    [[nodiscard]] HResult startNil();
    // With an href (RPC encoding), the value is stored where it is defined; else it starts here.
    [[nodiscard]] HResult startValueOrReference(std::byte* destination, const SoapMapEntry& entry,
                                                std::uint32_t referenceFlags, const SoapMap* owner,
                                                const SaxAttributes& attributes);
    [[nodiscard]] HResult unknownHeader(std::u16string_view uri, std::u16string_view local,
                                        const SaxAttributes& attributes);
    [[nodiscard]] HResult referencedValue(std::vector<StoredReference>&& referrers,
                                          const SaxAttributes& attributes);
    [[nodiscard]] HResult startValue(std::byte* destination, const SoapMapEntry& entry,
                                     std::uint32_t flags);
    [[nodiscard]] HResult startArray(const SoapMap& owner, const SoapMapEntry& entry,
                                     std::byte* member, const SaxAttributes& attributes);
    [[nodiscard]] HResult storeReference(std::u16string_view href, std::byte* destination,
                                         std::uint32_t flags, const SoapMap* owner,
                                         const SoapMapEntry& entry);
    [[nodiscard]] HResult takeArraySlot(ParseState& array, std::byte*& slot);
    [[nodiscard]] HResult convertLeafText();
    [[nodiscard]] HResult checkComplete(const ParseState& state) const;
    [[nodiscard]] HResult runParse(SaxReader& reader, ByteStream& stream);
    [[nodiscard]] HResult copyReferencedValues();
    [[nodiscard]] HResult appendText(std::u16string_view text);
    [[nodiscard]] HResult storeString(std::u16string_view text);
    [[nodiscard]] bool rpcEncoded() const;
    [[nodiscard]] const SoapMap* operationMap() const;
    void resetParse();

    MemoryManager& m_memory;
    ParseBudget m_budget;
    BudgetedMemory m_parseMemory{m_memory, m_budget}; // record memory taken while parsing
    bool m_client;
    void* m_parameterRecord = nullptr;
    void* m_ownedRecord = nullptr; // a server's record, allocated at dispatch
    std::vector<ParseState> m_states;

    SaxReader* m_reader = nullptr;
    ParsePhase m_phase = ParsePhase::Start;
    std::int32_t m_depth = 0;
    bool m_noChildren = false;
    bool m_needChildren = false;
    bool m_needText = false;
    // The leaf element being read (a value that takes no children); it needs no state.
    struct Leaf {
        bool active = false;
        void* target = nullptr;
        const SoapMapEntry* entry = nullptr;
        std::uint32_t flags = 0;
    };
    Leaf m_leaf;
    std::u16string m_text;     // character data of the current leaf
    bool m_textStored = false; // the leaf's text went straight into the record
    ReferenceTable m_references;
    // Values referred to from more than one place, all referrers of one value together: the
    // first receives the value, the others a copy of it once the parse is complete.
    std::vector<std::vector<StoredReference>> m_shared;
    TextCollector m_collector;
    SkipHandler m_skip;
};

} // namespace tarvex::soap
