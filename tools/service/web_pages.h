#pragma once

#include "service/search_backend.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::search {

struct WebPage {
    int status = 200;
    std::string html; // UTF-8
};

// What the page on licence keys says about them.
struct KeyRules {
    bool listed = false;    // only the keys of the --keys file are accepted
    std::int64_t quota = 0; // searches per key per UTC day, 0 for no limit
};

// The service's web pages, so that a browser opened on the service finds them offline: the
// search page (GET /search?q=...), with the same backend, ranking and marks as doGoogleSearch and
// its defaults (filter on, safe search off), the page on licence keys (GET /apis), and the pages
// the window's "Help?" and "More Tools..." buttons open once moved onto the service's origin
// (GET /tarvex/go.cgi?page=help or page=more). Safe to call from many threads at once.
class WebPages {
public:
    static constexpr const char* kSearchPath = "/search";
    static constexpr const char* kKeysPath = "/apis";
    // The path of the window's page links; their "page" parameter names the page.
    static constexpr const char* kWindowPagesPath = "/tarvex/go.cgi";
    static constexpr const char* kHelpPage = "help";
    static constexpr const char* kMoreToolsPage = "more";
    static constexpr std::int32_t kResultsPerPage = 10;
    // The deepest offset a page may start at; a larger "start" is taken as this.
    static constexpr std::int32_t kMaxStart = 990;
    // Sent with every page: it loads nothing and runs nothing, and its form posts only here.
    static constexpr const char* kSecurityPolicy =
        "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; base-uri 'none'";

    WebPages(SearchBackend& backend, KeyRules keys);

    // The search page for the query string of a request ("q=...&start=..."): 200 with the
    // results (or only the form when q is empty), 414 when q is too long, 502 when an upstream
    // engine fails, 500 when anything else does.
    [[nodiscard]] WebPage search(std::string_view queryString) const;
    [[nodiscard]] WebPage keys() const;
    // The window's pages for the query string of a request: the help page for page=help, the
    // project's other tools for page=more (the first "page" counts), 404 for any other or none.
    // Everything else in the query ("from", "version") is ignored.
    [[nodiscard]] static WebPage windowPage(std::string_view queryString);

private:
    SearchBackend& m_backend;
    KeyRules m_keys;
};

} // namespace tarvex::search
