#include "service/web_pages.h"

#include "base/code_page.h"
#include "service/corpus.h"
#include "service/html_text.h"
#include "service/query_string.h"
#include "service/query_text.h"
#include "service/search_service.h"

#include <algorithm>
#include <charconv>
#include <exception>

namespace tarvex::search {
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:1em 2em;max-width:48em}"
    "form{margin-bottom:1em}h1{font-size:1.1em}ol{padding-left:1.5em}li{margin-bottom:1em}"
    ".snippet{font-size:.9em}.url{color:#060;font-size:.85em}";

// The longest "start" text read; anything longer is past kMaxStart anyway.
constexpr std::size_t kMaxStartDigits = 9;

std::string pageStart(std::string_view title) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>";
    html += escapeHtml(title);
    html += "</title>\n<style>";
    html += kStyle;
    html += "</style>\n</head>\n<body>\n";
    return html;
}

void appendPageEnd(std::string& html) {
    html += "<p><a href=\"";
    html += WebPages::kKeysPath;
    html += "\">Licence keys</a></p>\n</body>\n</html>\n";
}

void appendForm(std::string& html, std::string_view query) {
    html += "<form action=\"";
    html += WebPages::kSearchPath;
    html += "\" method=\"get\" role=\"search\">\n<input type=\"search\" name=\"q\" value=\"";
    html += escapeHtml(query);
    html += "\" size=\"50\" maxlength=\"";
    html += std::to_string(SearchService::kMaxQueryBytes);
    html += "\" aria-label=\"Query\">\n<input type=\"submit\" value=\"Search\">\n</form>\n";
}

// A link to the search page for `query` from `start`.
std::string searchAddress(std::string_view query, std::int32_t start) {
    std::string address = WebPages::kSearchPath;
    address += "?q=";
    address += encodeQueryComponent(query);
    if (start > 0) {
        address += "&start=" + std::to_string(start);
    }
    return address;
}

void appendLink(std::string& html, std::string_view address, std::string_view textHtml) {
    html += "<a href=\"";
    html += escapeHtml(address);
    html += "\">";
    html += textHtml;
    html += "</a>";
}

// The query as the page shows and searches it: valid UTF-8 (each bad sequence one U+FFFD),
// control characters as blanks.
std::string shownText(std::string_view bytes) {
    std::string text = utf16ToCodePage(codePageToUtf16(bytes));
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, ' ');
    return text;
}

bool blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// 0 for anything but a plain decimal number; at most kMaxStart.
std::int32_t startOf(std::string_view text) {
    std::int32_t start = 0;
    if (text.size() > kMaxStartDigits) {
        return text.find_first_not_of("0123456789") == std::string_view::npos ? WebPages::kMaxStart
                                                                              : 0;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), start);
    if (error != std::errc{} || end != text.data() + text.size() || start < 0) {
        return 0;
    }
    return std::min(start, WebPages::kMaxStart);
}

void appendHit(std::string& html, const SearchHit& hit, std::string_view query) {
    const std::string& url = hit.url;
    html += "<li>";
    // Only addresses a browser fetches as a page become links; "javascript:" and the like stay
    // text.
    if (!hostOf(url).empty()) {
        appendLink(html, url, hit.titleHtml);
    } else {
        html += hit.titleHtml;
    }
    if (!hit.snippetHtml.empty()) {
        html += "<div class=\"snippet\">";
        html += hit.snippetHtml;
        html += "</div>";
    }
    html += "<div class=\"url\">";
    html += escapeHtml(url);
    if (!hit.hostName.empty()) {
        html += " - ";
        appendLink(html, searchAddress("site:" + hit.hostName + " " + std::string{query}, 0),
                   "More results from " + escapeHtml(hit.hostName));
    }
    html += "</div></li>\n";
}

void appendPaging(std::string& html, std::string_view query, std::int32_t start,
                  const SearchPage& page) {
    const auto shown = static_cast<std::int32_t>(page.hits.size());
    const bool previous = start > 0;
    // An estimate may fall short of what is there: a full page of one offers the next.
    const bool more =
        start + shown < page.total || (!page.exact && shown == WebPages::kResultsPerPage);
    const bool next = more && start + WebPages::kResultsPerPage <= WebPages::kMaxStart;
    if (!previous && !next) {
        return;
    }
    html += "<p>";
    if (previous) {
        appendLink(html, searchAddress(query, std::max(0, start - WebPages::kResultsPerPage)),
                   "Previous");
    }
    if (next) {
        html += previous ? " " : "";
        appendLink(html, searchAddress(query, start + WebPages::kResultsPerPage), "Next");
    }
    html += "</p>\n";
}

WebPage refusal(int status, std::string_view text) {
    std::string html = pageStart("Search");
    appendForm(html, {});
    html += "<p>";
    html += escapeHtml(text);
    html += "</p>\n";
    appendPageEnd(html);
    return {status, std::move(html)};
}

} // namespace

WebPages::WebPages(SearchBackend& backend, KeyRules keys) : m_backend(backend), m_keys(keys) {}

WebPage WebPages::search(std::string_view queryString) const {
    const auto tooLong = [] {
        return refusal(414, "The query is longer than " +
                                std::to_string(SearchService::kMaxQueryBytes) + " bytes.");
    };
    const std::string asked = queryValue(queryString, "q").value_or("");
    if (asked.size() > SearchService::kMaxQueryBytes) {
        return tooLong();
    }
    // Each bad byte may grow to three, so the limit holds for what is searched too.
    const std::string query = shownText(asked);
    if (query.size() > SearchService::kMaxQueryBytes) {
        return tooLong();
    }
    if (translateQuery(query).words > SearchService::kMaxQueryWords) {
        return refusal(400, tooManyWords());
    }
    if (blank(query)) {
        std::string html = pageStart("Search");
        appendForm(html, query);
        appendPageEnd(html);
        return {200, std::move(html)};
    }
    const std::int32_t start = startOf(queryValue(queryString, "start").value_or(""));
    SearchPage page;
    try {
        page = m_backend.search(SearchRequest{query, start, kResultsPerPage, true, false, {}});
    } catch (const BackendError& error) {
        // The web search engine behind the service failed; say how.
        return refusal(502, std::string{"The search failed: "} + error.what());
    } catch (const std::exception&) {
        return refusal(500, "The search failed; the service could not read its index.");
    }

    std::string html = pageStart(query + " - Search");
    appendForm(html, query);
    const std::string queryHtml = escapeHtml(query);
    if (page.total == 0) {
        html += "<h1>No results for <b>" + queryHtml +
                "</b></h1>\n"
                "<p>No document matches all of the words.</p>\n";
    } else if (page.hits.empty()) {
        html += "<h1>" + std::to_string(page.total) + " results for <b>" + queryHtml +
                "</b></h1>\n<p>No results on this page. ";
        appendLink(html, searchAddress(query, 0), "First page");
        html += "</p>\n";
    } else {
        const auto last = start + static_cast<std::int32_t>(page.hits.size());
        html += "<h1>Results " + std::to_string(start + 1) + " - " + std::to_string(last) + " of " +
                std::to_string(page.total) + " for <b>" + queryHtml + "</b></h1>\n";
        html += "<ol start=\"" + std::to_string(start + 1) + "\">\n";
        for (const SearchHit& hit : page.hits) {
            appendHit(html, hit, query);
        }
        html += "</ol>\n";
        appendPaging(html, query, start, page);
    }
    appendPageEnd(html);
    return {200, std::move(html)};
}

WebPage WebPages::keys() const {
    std::string html = pageStart("Licence keys");
    html += "<h1>Licence keys</h1>\n<p>This is a local search service. It answers the SOAP "
            "calls at <code>/search/beta2</code>, and each call carries a licence key.</p>\n<p>";
    if (m_keys.listed) {
        html += "It accepts only the keys listed in the keys file it was started with "
                "(<code>--keys</code>). Ask whoever runs the service for one.";
    } else {
        html += "It accepts any key that is not empty: type any word as the licence key.";
    }
    html += "</p>\n<p>";
    if (m_keys.quota > 0) {
        html += "Each key has " + std::to_string(m_keys.quota) +
                (m_keys.quota == 1 ? " search" : " searches") +
                " per UTC day (<code>--quota</code>); the count starts afresh at midnight UTC.";
    } else {
        html += "There is no daily limit on searches.";
    }
    html += "</p>\n<p>";
    appendLink(html, kSearchPath, "Search in the browser");
    html += "</p>\n</body>\n</html>\n";
    return {200, std::move(html)};
}

} // namespace tarvex::search
