#pragma once

#include "service/search_backend.h"

#include <string>
#include <string_view>

namespace tarvex::search {

// Response bodies in the style of the historic service: a SOAP-ENV envelope with the 1999
// schema namespaces, the operation's "...Response" wrapper in urn:GoogleSearch, and an
// xsi:type on every value. All text goes through the shared escaper.

struct SearchAnswer {
    const SearchPage* page = nullptr;
    std::string_view searchQuery;
    std::int32_t start = 0; // 0-based offset the page starts at
    double searchTime = 0;  // seconds
};

[[nodiscard]] std::string searchResponse(const SearchAnswer& answer);
[[nodiscard]] std::string spellingResponse(std::string_view suggestion);
[[nodiscard]] std::string cachedPageResponse(std::string_view bytes);

// faultcode is "SOAP-ENV:" followed by `code` ("Client", "Server", "MustUnderstand").
[[nodiscard]] std::string faultResponse(std::string_view code, std::string_view text);

} // namespace tarvex::search
