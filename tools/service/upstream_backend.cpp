#include "service/upstream_backend.h"

#include "base/ascii_case.h"
#include "http/url.h"
#include "service/corpus.h"
#include "service/host_folding.h"
#include "service/html_text.h"
#include "service/term_marks.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace tarvex::search {
namespace {

// `text` cut to at most `limit` bytes without splitting a UTF-8 character, "..." marking a cut.
std::string clipped(const std::string& text, std::size_t limit) {
    const std::size_t end = characterBoundary(text, limit);
    return end == text.size() ? text : text.substr(0, end) + "...";
}

// The service gives out only addresses a browser opens as pages, and only ones it could fetch
// as a cached page: no blanks or control bytes, no longer than an address may be.
bool usable(const std::string& url) {
    return url.size() <= http::kMaxPathLength &&
           std::none_of(
               url.begin(), url.end(),
               [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == '\x7F'; }) &&
           !hostOf(url).empty();
}

// One marker per thread: each holds a small database of its own.
TermMarker& threadMarker() {
    thread_local TermMarker marker;
    return marker;
}

// The historic service put its own line above a cached page, under a base address so that the
// page's relative links still lead to their site.
std::string cachedPageText(std::string_view url, const std::string& page) {
    const std::string address = escapeHtml(url);
    return "<BASE HREF=\"" + address +
           "\"><table border=1 width=100%><tr><td><font face=arial,sans-serif color=black "
           "size=-1>This is the search service's cache of <A HREF=\"" +
           address + "\">" + address + "</a>.</font></td></tr></table>\n<hr>\n" + page;
}

} // namespace

UpstreamBackend::UpstreamBackend(std::unique_ptr<UpstreamEngine> engine, UpstreamClient client,
                                 std::unique_ptr<AnswerCache> cache, UpstreamSettings settings)
    : m_engine(std::move(engine)), m_client(std::move(client)), m_cache(std::move(cache)),
      m_settings(settings), m_rate(settings.ratePerSecond, settings.maxWaiting) {}

UpstreamPage UpstreamBackend::fetch(const std::string& url, Deadline deadline) {
    std::string error;
    try {
        if (const auto kept = m_cache->answer(url)) {
            if (auto answer = m_engine->read(*kept, error)) {
                return std::move(*answer);
            }
        }
    } catch (const std::exception&) {
        // A cache that cannot be read only costs a request.
    }
    switch (m_rate.take(deadline)) {
    case RateLimiter::Outcome::Go:
        break;
    case RateLimiter::Outcome::TooManyWaiting:
        throw BackendError{"upstream: too many requests waiting"};
    case RateLimiter::Outcome::WaitTooLong:
        throw BackendError{"upstream: request rate limit reached, try again later"};
    }
    ++m_fetches;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        throw BackendError{"upstream: timed out"};
    }
    const std::string body =
        m_client.get(url, FetchOptions{kMaxUpstreamBytes, left, false, false, m_engine->accept()});
    auto answer = m_engine->read(body, error);
    if (!answer) {
        throw BackendError{"upstream: unreadable answer: " + error};
    }
    try {
        m_cache->keepAnswer(url, body);
    } catch (const std::exception&) {
        // Not kept: the next request asks again.
    }
    return std::move(*answer);
}

UpstreamBackend::Collected UpstreamBackend::collect(const PageRequest& base, std::size_t wanted,
                                                    bool filter, Deadline deadline) {
    Collected collected;
    std::unordered_set<std::string> seen;
    std::int64_t received = 0;
    for (std::int32_t page = 1; page <= kMaxPages; ++page) {
        PageRequest request = base;
        request.page = page;
        request.startIndex = received + 1;
        UpstreamPage answer = fetch(m_engine->pageUrl(request), deadline);
        bool fresh = false;
        for (UpstreamItem& item : answer.items) {
            if (!seen.insert(item.url).second) {
                continue; // an engine that ignores paging repeats itself
            }
            fresh = true;
            if (usable(item.url)) {
                collected.items.push_back(std::move(item));
            }
        }
        received += static_cast<std::int64_t>(answer.items.size());
        if (page == 1) {
            collected.total = answer.total;
        }
        if (!fresh || !m_engine->pages() || (collected.total && received >= *collected.total)) {
            collected.complete = true;
            break;
        }
        // Enough results once folded?
        std::size_t kept = 0;
        HostFolding folding;
        std::vector<std::string> hosts;
        hosts.reserve(collected.items.size());
        for (const UpstreamItem& item : collected.items) {
            hosts.push_back(hostOf(item.url));
        }
        for (const std::string& host : hosts) {
            kept += !filter || folding.keep(host, kept) ? 1 : 0;
        }
        if (kept >= wanted) {
            break;
        }
    }
    return collected;
}

SearchPage UpstreamBackend::search(const SearchRequest& request) {
    SearchPage page;
    if (request.query.find_first_not_of(" \t\r\n") == std::string_view::npos ||
        request.maxResults <= 0) {
        return page;
    }
    const Deadline deadline = std::chrono::steady_clock::now() + m_settings.timeout;
    const std::string language = languageOf(request.language);
    const auto start = static_cast<std::size_t>(std::max(request.start, 0));
    const auto wanted = start + static_cast<std::size_t>(request.maxResults);
    Collected collected = collect(PageRequest{request.query, 1, 1, request.safeSearch, language},
                                  wanted, request.filter, deadline);

    std::vector<std::string> hosts;
    hosts.reserve(collected.items.size());
    for (const UpstreamItem& item : collected.items) {
        hosts.push_back(hostOf(item.url));
    }
    HostFolding folding;
    std::vector<std::size_t> kept; // positions in collected.items
    for (std::size_t i = 0; i < collected.items.size(); ++i) {
        if (!request.filter || folding.keep(hosts[i], kept.size())) {
            kept.push_back(i);
        }
    }
    page.filtered = folding.folded();
    // Once the engine has given all it has, what came is the exact count; before, the engine's
    // figure where it gave one it can stand by, else what came so far.
    const auto came = static_cast<std::int64_t>(kept.size());
    const std::int64_t total =
        collected.total && !collected.complete ? std::max(*collected.total, came) : came;
    page.exact = collected.complete;
    page.total = static_cast<std::int32_t>(
        std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));

    std::vector<MarkedPair> texts;
    std::vector<std::string> returned;
    for (std::size_t position = start; position < kept.size() && position < wanted; ++position) {
        const UpstreamItem& item = collected.items[kept[position]];
        SearchHit hit;
        hit.url = item.url;
        if (request.filter && folding.named(position)) {
            hit.hostName = hosts[kept[position]];
        }
        page.hits.push_back(std::move(hit));
        texts.push_back(
            {clipped(item.title, kMaxTitleBytes), clipped(item.text, kMaxSnippetBytes)});
        returned.push_back(item.url);
    }
    const std::vector<MarkedPair> html = threadMarker().mark(request.query, texts);
    for (std::size_t i = 0; i < page.hits.size(); ++i) {
        page.hits[i].titleHtml = html[i].title;
        page.hits[i].snippetHtml = html[i].text;
    }
    try {
        m_cache->noteReturned(returned);
    } catch (const std::exception&) {
        // Their cached pages will be refused; the results stand.
    }
    return page;
}

std::string UpstreamBackend::suggest(std::string_view phrase) {
    if (!m_engine->spells() || phrase.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return {};
    }
    const UpstreamPage answer = fetch(m_engine->pageUrl(PageRequest{phrase, 1, 1, false, {}}),
                                      std::chrono::steady_clock::now() + m_settings.timeout);
    if (!answer.corrections.empty()) {
        return answer.corrections.front();
    }
    return answer.suggestions.empty() ? std::string{} : answer.suggestions.front();
}

std::string UpstreamBackend::cachedPage(std::string_view url) {
    const std::string address{url};
    if (!m_cache->returned(address)) {
        throw BackendError{"The service keeps no copy of this page: only pages of results it "
                           "gave in the last hours are served."};
    }
    const std::string scheme = asciiLowered(address.substr(0, address.find(':')));
    if (scheme != "http" && scheme != "https") {
        throw BackendError{"Only http and https pages are served."};
    }
    // Pages come from anywhere the engine pointed to, at no rate: only a few at once.
    if (m_pageFetches.fetch_add(1) >= kMaxPageFetches) {
        m_pageFetches.fetch_sub(1);
        throw BackendError{"upstream: too many pages being fetched, try again later"};
    }
    struct Release {
        std::atomic<int>& count;
        ~Release() { count.fetch_sub(1); }
    } release{m_pageFetches};
    const std::string page =
        m_client.get(address, FetchOptions{kMaxPageBytes, m_settings.timeout, true,
                                           m_settings.allowLoopbackPages, "text/html, */*;q=0.5"});
    return cachedPageText(url, page);
}

} // namespace tarvex::search
