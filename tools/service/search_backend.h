#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

struct SearchRequest {
    std::string_view query;
    std::int32_t start = 0; // 0-based offset of the first result wanted
    std::int32_t maxResults = 10;
    bool filter = true;        // at most two results per host
    bool safeSearch = false;   // leave out documents marked adult
    std::string_view language; // the request's "lr" ("lang_de"), or empty
};

// One result as the service answers it.
struct SearchHit {
    std::string url;
    std::string titleHtml;   // HTML, the query terms in <b>...</b>
    std::string snippetHtml; // the same, from the body
    std::string summary;     // plain text
    std::string category;
    std::string directoryTitle;
    std::string cachedSize; // "12k", or empty when no copy of the page is kept
    std::string hostName;   // on the second result of a host whose further results were folded
};

// The size of a kept page as a result shows it: whole kilobytes, rounded up ("12k").
[[nodiscard]] inline std::string cachedSizeText(std::size_t bytes) {
    return std::to_string((bytes + 1023) / 1024) + "k";
}

struct SearchPage {
    std::int32_t total = 0; // results after safe search and folding, all pages together
    bool filtered = false;  // folding removed at least one result
    bool exact = true;      // the total is a count, not an estimate
    std::vector<SearchHit> hits;
    std::vector<std::string> categories; // the commonest categories among all results
};

// A source that cannot answer now (an upstream engine that failed); what() is the fault's text.
class BackendError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the service's results come from: its own index or an upstream engine. The SOAP
// operations and the web pages call it from many threads at once.
class SearchBackend {
public:
    virtual ~SearchBackend() = default;
    [[nodiscard]] virtual SearchPage search(const SearchRequest& request) = 0;
    // The phrase spelled better, or empty when there is nothing to suggest.
    [[nodiscard]] virtual std::string suggest(std::string_view phrase) = 0;
    // The stored copy of a page; BackendError when the backend refuses to give one.
    [[nodiscard]] virtual std::string cachedPage(std::string_view url) = 0;
};

} // namespace tarvex::search
