#include "proxy/google_search_handler.h"

#include "proxy/google_search_maps.h"
#include "soap/record_walk.h"

namespace tarvex::proxy {

GoogleSearchHandler::GoogleSearchHandler(MemoryManager& memory, bool client)
    : soap::SoapMessageHandler(memory, client) {}

const soap::SoapMap* const* GoogleSearchHandler::functionMaps() const {
    return kGoogleSearchFunctionMaps;
}

const soap::SoapMap* const* GoogleSearchHandler::headerMaps() const {
    return kGoogleSearchHeaderMaps;
}

const char16_t* GoogleSearchHandler::serviceNamespace() const {
    return kGoogleSearchWideNamespace;
}

const char* GoogleSearchHandler::defaultNamespace() const {
    return kGoogleSearchNamespace;
}

HResult GoogleSearchHandler::beginCall(std::int32_t operationIndex, void* record) {
    if (operationIndex < 0 || operationIndex > kDoSpellingSuggestionIndex || record == nullptr) {
        return kInvalidArg;
    }
    setParameterRecord(record);
    const soap::SoapMap* headerMap = kGoogleSearchHeaderMaps[operationIndex];
    return pushState({.target = headerRecord(),
                      .map = headerMap,
                      .capacity = operationIndex,
                      .expected = headerMap->elementCount});
}

void GoogleSearchHandler::endCall() {
    clearStates();
    setParameterRecord(nullptr);
}

void fillDoGoogleSearchParams(const DoGoogleSearchArgs& args, DoGoogleSearchParams& params) {
    params = DoGoogleSearchParams{};
    params.key = args.key;
    params.q = args.q;
    params.start = args.start;
    params.maxResults = args.maxResults;
    params.filter = args.filter ? 1 : 0;
    params.restrict = args.restrict;
    params.safeSearch = args.safeSearch ? 1 : 0;
    params.lr = args.lr;
    params.ie = args.ie;
    params.oe = args.oe;
}

HResult writeDoGoogleSearchRequest(const DoGoogleSearchArgs& args, soap::OutputSink& sink) {
    HeapMemoryManager memory;
    GoogleSearchHandler handler{memory};
    DoGoogleSearchParams params{};
    fillDoGoogleSearchParams(args, params);
    HResult status = handler.beginCall(kDoGoogleSearchIndex, &params);
    if (!failed(status)) {
        status = handler.generateRequest(sink);
    }
    handler.endCall();
    return status;
}

} // namespace tarvex::proxy

namespace tarvex::proxy {

HResult parseDoGoogleSearchResponse(soap::SaxReader& reader, soap::ByteStream& body,
                                    GoogleSearchResult& result) {
    HeapMemoryManager memory;
    GoogleSearchHandler handler{memory};
    DoGoogleSearchParams params{};
    HResult status = handler.beginCall(kDoGoogleSearchIndex, &params);
    if (!failed(status)) {
        handler.cleanup();
        status = handler.beginParse(reader, body);
        if (failed(status)) {
            handler.cleanup();
        } else {
            result = params.returnValue;
        }
    }
    handler.endCall();
    return status;
}

void releaseGoogleSearchResult(GoogleSearchResult& result) {
    HeapMemoryManager memory;
    soap::releaseRecord(kGoogleSearchResultMap, &result, memory,
                        [](const soap::SoapMapEntry&) { return true; });
    result = GoogleSearchResult{};
}

} // namespace tarvex::proxy
