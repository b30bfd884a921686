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
    "form{margin-bottom:1em}h1{font-size:1.1em}h2,h3{font-size:1em}dt{font-weight:bold}"
    "ol{padding-left:1.5em}li{margin-bottom:1em}"
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

// The window's pages: fixed texts, already HTML.
constexpr std::string_view kHelpTitle = "Help";
constexpr std::string_view kHelpHtml = R"(<h1>Help for the search window</h1>
<p>The window sends your query to the search service at its endpoint and lists the results.
This page comes from that service, so it is there whenever the service is.</p>
<h2>Searching</h2>
<dl>
<dt>License Key</dt>
<dd>The licence key sent with every search, kept when the window closes. The
<a href="/apis">page on licence keys</a> says which keys this service accepts.</dd>
<dt>Query Word</dt>
<dd>The words to search for. Its drop-down list holds the words searched before; pick one to
search it again.</dd>
<dt>Search</dt>
<dd>Searches for the query word; Enter does the same. A fresh answer in the cache is shown at
once; otherwise the service is asked, ten results a time, until the result size is reached. The
line under the list says how the search went.</dd>
<dt>Search in Browser</dt>
<dd>Opens the service's search page for the query word in your web browser.</dd>
</dl>
<h2>The result list</h2>
<p>One row per result: its number, address, title and snippet. Double-click a row, or press Enter
or Space, to open its address in the browser. The context menu (right button, Shift+F10 or the
Menu key) offers:</p>
<dl>
<dt>Browse</dt>
<dd>Opens the selected result in the browser.</dd>
<dt>Copy: Full Table</dt>
<dd>Copies every row as text, its columns separated by tabs.</dd>
<dt>Copy: Selected Rows</dt>
<dd>The same for the selected rows.</dd>
<dt>Copy: All URLs</dt>
<dd>Copies the address of every result, one a line.</dd>
<dt>Copy: Selected URLs</dt>
<dd>The addresses of the selected rows.</dd>
</dl>
<h2>The other controls</h2>
<dl>
<dt>Spread Sheet Mode</dt>
<dd>Shows each result on one line, address, title and snippet in columns of their own, ready to
copy into a spreadsheet. Unchecked, each row shows the three together.</dd>
<dt>Statistics and Reset</dt>
<dd>Result # is the estimated number of results of the last search, Search # the number of
searches made, Searched at when the results shown were fetched. Reset sets the search count back
to zero.</dd>
<dt>Cache...</dt>
<dd>Opens the cache browser. Words in Cache lists the query words whose results are kept; select
one to see its results and when they were searched (Browse and Copy work there too). Delete
Selected removes the selected words after asking; Wipe Cache removes them all.</dd>
<dt>Options...</dt>
<dd><ul>
<li>Minimize to tray at startup: the window starts as an icon in the tray.</li>
<li>The run-at-log-on box: the window starts whenever you log on.</li>
<li>Filter Similar Results: results that look like others are left out.</li>
<li>Safe Search: the service is asked to remove adult results.</li>
<li>Local Cache Life: how many hours a kept answer is shown instead of searching again.</li>
<li>Wipe the drop down word list: forgets the words searched before.</li>
<li>Result Size: 10, 20 or 30 results a query; the service gives ten a search, so more than
ten takes several searches.</li>
</ul></dd>
<dt>Tray</dt>
<dd>Sends the window to the tray. Click the icon, or choose Restore on its menu, to bring it
back; the menu also holds Options... and Exit.</dd>
<dt>About..., Help?, More Tools..., Close</dt>
<dd>The version; this page; the page of the project's other tools (linked below); closing the
window.</dd>
</dl>
<h2>The keyboard</h2>
<ul>
<li>Tab and Shift+Tab move between the controls; the arrow keys move within a list.</li>
<li>Enter searches; in a result list, Enter or Space opens the selected row.</li>
<li>Alt+S searches, Alt+O opens the options and Alt+T sends the window to the tray.</li>
<li>Shift+F10 or the Menu key opens the context menu of a list.</li>
<li>Ctrl+C copies the selected rows.</li>
<li>Delete, in the cache browser's word list, removes the selected words after asking.</li>
<li>Escape closes the window without keeping a licence key typed since it opened.</li>
</ul>
)";

constexpr std::string_view kMoreToolsTitle = "More tools";
constexpr std::string_view kMoreToolsHtml = R"(<h1>More tools</h1>
<p>Besides the search window there are two programs, both run from a terminal.</p>
<h2><code>tarvex</code>: the command-line tool</h2>
<p>It searches as the window does, with the same settings and result cache, and shows what goes
over the wire. <code>tarvex help COMMAND</code> explains each command in full.</p>
<dl>
<dt><code>tarvex search QUERY</code></dt>
<dd>Searches as the window does: from the cache when a fresh entry is there, else from the
service. Prints the results, or JSON with <code>--json</code>; <code>--endpoint URL</code> names
the service for one run.</dd>
<dt><code>tarvex call OPERATION --endpoint URL --key KEY</code></dt>
<dd>Calls one operation of a search service (a search, a spelling suggestion or a cached page)
and prints the answer as JSON.</dd>
<dt><code>tarvex cache dump [FILE]</code></dt>
<dd>Prints the window's result cache file, or FILE, as JSON, with the errors a load would
show.</dd>
<dt><code>tarvex envelope --key KEY --query WORDS</code></dt>
<dd>Prints the exact request body a search sends.</dd>
<dt><code>tarvex parse FILE</code></dt>
<dd>Reads the body of a search answer and prints the result as JSON.</dd>
<dt><code>tarvex fault FILE</code></dt>
<dd>Reads the body of a fault answer and prints its code and texts as JSON.</dd>
</dl>
<h2><code>tarvex-service</code>: the search service</h2>
<p>This page comes from it. It answers searches, spelling suggestions and cached pages (SOAP over
HTTP at <code>/search/beta2</code>) and serves, on the same port, the
<a href="/search">search page</a>, the <a href="/apis">page on licence keys</a> and the window's
pages. It prints its address on its first line: give that to the window as its endpoint (the
setting "Service Endpoint" or <code>TARVEX_ENDPOINT</code>), or to the tool with
<code>--endpoint</code>.</p>
<h3>Where the answers come from</h3>
<dl>
<dt>The local index (the default)</dt>
<dd>Built at start from a corpus file, <code>--corpus FILE</code>: the service's own format or a
status file of the installed packages, the system's own one by default; without one, the
built-in corpus. Nothing leaves the machine.</dd>
<dt>An upstream engine</dt>
<dd><code>--upstream ENGINE</code> answers from a web search engine instead: a URL template
answered in RSS or Atom, or a metasearch instance answering JSON (<code>tarvex-service -h</code>
shows both forms). Its answers are kept (<code>--upstream-cache FILE</code>, for
<code>--upstream-cache-hours N</code>), its requests paced (<code>--upstream-rate N</code>), and
<code>--upstream-ca FILE</code> adds certificates to trust.</dd>
</dl>
<h3>Starting it</h3>
<p><code>tarvex-service --listen 127.0.0.1:8080</code> serves on that port; point the window at
<code>http://127.0.0.1:8080/search/beta2</code>. Without <code>--listen</code> it takes any free
port on 127.0.0.1.</p>
<dl>
<dt><code>--keys FILE</code>, <code>--quota N</code></dt>
<dd>Accept only the licence keys in FILE, one a line; allow N searches per key per day.</dd>
<dt><code>--cert FILE --key FILE</code></dt>
<dd>Serve HTTPS with this certificate and key.</dd>
<dt><code>--threads N</code>, <code>--connections N</code></dt>
<dd>Requests served at once, and clients connected at once.</dd>
<dt><code>--idle-exit SECONDS</code></dt>
<dd>Stop after so long without a client. Started by the system's service manager for its
socket, it serves on that socket and is started again by the next client.</dd>
<dt><code>--config FILE</code>, <code>--no-config</code></dt>
<dd>Read the settings from FILE alone, or from no file. By default they come from
<code>tarvex/service.conf</code> in <code>/etc/xdg</code>, then in <code>~/.config</code>, as
lines <code>NAME = VALUE</code> named as the options.</dd>
</dl>
<p><code>tarvex-service -h</code> lists every option.</p>
)";

constexpr std::string_view kNotFoundTitle = "Not found";
constexpr std::string_view kNotFoundHtml = R"(<h1>Not found</h1>
<p>There is no such page here.</p>
)";

// The way from any of the window's pages to the others and to the search page.
void appendWindowPageEnd(std::string& html) {
    const auto windowPage = [](std::string_view name) {
        return std::string{WebPages::kWindowPagesPath} + "?page=" + std::string{name};
    };
    html += "<p>";
    appendLink(html, WebPages::kSearchPath, "Search");
    html += " | ";
    appendLink(html, windowPage(WebPages::kHelpPage), "Help");
    html += " | ";
    appendLink(html, windowPage(WebPages::kMoreToolsPage), "More tools");
    html += " | ";
    appendLink(html, WebPages::kKeysPath, "Licence keys");
    html += "</p>\n</body>\n</html>\n";
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

WebPage WebPages::windowPage(std::string_view queryString) {
    // Compared, never shown: nothing of the query reaches the page.
    const std::optional<std::string> name = queryValue(queryString, "page");
    int status = 200;
    std::string_view title = kNotFoundTitle;
    std::string_view body = kNotFoundHtml;
    if (name == kHelpPage) {
        title = kHelpTitle;
        body = kHelpHtml;
    } else if (name == kMoreToolsPage) {
        title = kMoreToolsTitle;
        body = kMoreToolsHtml;
    } else {
        status = 404;
    }
    std::string html = pageStart(title);
    html += body;
    appendWindowPageEnd(html);
    return {status, std::move(html)};
}

} // namespace tarvex::search
