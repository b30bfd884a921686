#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tarvex::search {

struct SearchCall {
    std::string key;
    std::string q;
    std::int32_t start = 0;
    std::int32_t maxResults = 0;
    bool filter = false;
    bool safeSearch = false;
    std::string lr; // language restriction, "lang_de" and the like
};

struct SpellingCall {
    std::string key;
    std::string phrase;
};

struct CachedPageCall {
    std::string key;
    std::string url;
};

// A request that is not a call of the service; `code` is the fault code's local part.
struct RequestError {
    std::string code;
    std::string text;
};

using ServiceCall = std::variant<SearchCall, SpellingCall, CachedPageCall, RequestError>;

// Reads a SOAP request body with the service's own maps in the server role: the operation is
// found by its element name and the record filled from its In parameters. Anything the maps do
// not expect (malformed XML, an unknown operation or parameter, a doubled parameter, a header
// that must be understood) is a RequestError. A parameter left out keeps its zero value.
[[nodiscard]] ServiceCall readServiceCall(std::string_view body);

} // namespace tarvex::search
