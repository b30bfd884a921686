#pragma once

#include "proxy/google_search_types.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"
#include "soap/soap_message_handler.h"

#include <cstdint>

namespace tarvex::proxy {

// The SOAP message handler of the GoogleSearch service: its maps, namespace and (empty)
// header record, and the steps every call shares around writing and parsing.
class GoogleSearchHandler : public soap::SoapMessageHandler {
public:
    // A client writes requests and reads responses; a server (client false) reads requests,
    // finding the operation by its element name.
    explicit GoogleSearchHandler(MemoryManager& memory, bool client = true);

    [[nodiscard]] const soap::SoapMap* const* functionMaps() const override;
    [[nodiscard]] const soap::SoapMap* const* headerMaps() const override;
    [[nodiscard]] const char16_t* serviceNamespace() const override;
    [[nodiscard]] const char* defaultNamespace() const override;
    // The operations have no headers; the handler itself stands as the header record.
    [[nodiscard]] void* headerRecord() override { return this; }

    // Makes `record` the operation's parameter record and pushes the client's first parse
    // state (the operation's header map and index).
    [[nodiscard]] HResult beginCall(std::int32_t operationIndex, void* record);
    // Empties the state stack and forgets the record.
    void endCall();
};

// Everything a doGoogleSearch call sends. Strings are system strings (sysAllocString) or null,
// which is sent as a nil element; they stay the caller's.
struct DoGoogleSearchArgs {
    SysString key = nullptr;
    SysString q = nullptr;
    std::int32_t start = 0;
    std::int32_t maxResults = kResultsPerRequest;
    bool filter = true;
    SysString restrict = nullptr;
    bool safeSearch = false;
    SysString lr = nullptr;
    SysString ie = nullptr;
    SysString oe = nullptr;
};

// Parses a doGoogleSearch response body (as after HTTP 200) into `result`, which then owns
// its strings and arrays (release them with releaseGoogleSearchResult). On failure `result` is
// untouched and nothing the parse built is kept.
[[nodiscard]] HResult parseDoGoogleSearchResponse(soap::SaxReader& reader, soap::ByteStream& body,
                                                  GoogleSearchResult& result);

// Frees what a parsed result holds and zeroes it.
void releaseGoogleSearchResult(GoogleSearchResult& result);

// Fills `params` from `args`. The strings are borrowed: `params` must not outlive `args`.
void fillDoGoogleSearchParams(const DoGoogleSearchArgs& args, DoGoogleSearchParams& params);

// Writes the doGoogleSearch request envelope for `args` into `sink`.
[[nodiscard]] HResult writeDoGoogleSearchRequest(const DoGoogleSearchArgs& args,
                                                 soap::OutputSink& sink);

} // namespace tarvex::proxy
