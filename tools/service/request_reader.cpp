#include "service/request_reader.h"

#include "base/code_page.h"
#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "proxy/google_search_maps.h"

namespace tarvex::search {
namespace {

// The fault hook's code for a header that must be understood.
constexpr std::int32_t kMustUnderstandCode = 200;

class RequestHandler final : public proxy::GoogleSearchHandler {
public:
    explicit RequestHandler(MemoryManager& memory) : GoogleSearchHandler(memory, false) {}
    void faultHook(std::int32_t code, std::u16string_view /*uri*/,
                   std::u16string_view /*local*/) override {
        mustUnderstand = mustUnderstand || code == kMustUnderstandCode;
    }
    bool mustUnderstand = false;
};

std::string text(SysString value) {
    return utf16ToCodePage(sysStringView(value));
}

} // namespace

ServiceCall readServiceCall(std::string_view body) {
    const auto reader = soap::createSaxReader();
    if (reader == nullptr) {
        return RequestError{"Server", "The request reader could not be created."};
    }
    RequestHandler handler{processHeap()};
    soap::MemoryStream stream{body};
    if (failed(handler.beginParse(*reader, stream)) || handler.states().empty() ||
        handler.parameterRecord() == nullptr) {
        handler.cleanup();
        if (handler.mustUnderstand) {
            return RequestError{"MustUnderstand", "A header that must be understood is not."};
        }
        return RequestError{"Client", "The request is not a well-formed call of an operation of "
                                      "urn:GoogleSearch."};
    }
    const soap::SoapMap* operation = handler.states().front().map;
    const void* record = handler.parameterRecord();
    ServiceCall call;
    if (operation == &proxy::kDoGoogleSearchMap) {
        const auto& params = *static_cast<const proxy::DoGoogleSearchParams*>(record);
        call = SearchCall{text(params.key),  text(params.q),     params.start,
                          params.maxResults, params.filter != 0, params.safeSearch != 0,
                          text(params.lr)};
    } else if (operation == &proxy::kDoSpellingSuggestionMap) {
        const auto& params = *static_cast<const proxy::DoSpellingSuggestionParams*>(record);
        call = SpellingCall{text(params.key), text(params.phrase)};
    } else if (operation == &proxy::kDoGetCachedPageMap) {
        const auto& params = *static_cast<const proxy::DoGetCachedPageParams*>(record);
        call = CachedPageCall{text(params.key), text(params.url)};
    } else {
        call = RequestError{"Client", "The operation is not known."};
    }
    handler.cleanup();
    return call;
}

} // namespace tarvex::search
