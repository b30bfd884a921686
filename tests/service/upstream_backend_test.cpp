// The service answering from a scripted upstream engine in-process: paging by what came,
// answers kept, escaping and marks, folding, spelling, failures and cached pages.
#include "service/response_writer.h"
#include "service/upstream_backend.h"
#include "service/upstream_cache.h"
#include "service/web_pages.h"
#include "support/scripted_server.h"
#include "support/scripted_upstream.h"

#include "http/tls_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace tarvex::search {
namespace {

using test::ScriptedUpstream;

struct BackendSetup {
    std::string cacheFile = ":memory:";
    std::chrono::milliseconds timeout{10000};
    int rate = 1000;
    bool allowLoopbackPages = false;
};

std::unique_ptr<UpstreamBackend> backendFor(std::unique_ptr<UpstreamEngine> engine,
                                            const BackendSetup& setup = {}) {
    UpstreamSettings settings;
    settings.ratePerSecond = setup.rate;
    settings.timeout = setup.timeout;
    settings.allowLoopbackPages = setup.allowLoopbackPages;
    return std::make_unique<UpstreamBackend>(
        std::move(engine), UpstreamClient{http::TlsTrust::system()},
        std::make_unique<UpstreamCache>(setup.cacheFile, std::chrono::hours{1}), settings);
}

std::unique_ptr<UpstreamEngine> openSearch(const std::string& urlTemplate) {
    std::string error;
    auto engine = makeOpenSearchEngine(urlTemplate, error);
    EXPECT_NE(engine, nullptr) << error;
    return engine;
}

// An engine of `total` numbered results that answers pages of 20 from the startIndex it is
// given, whatever count it is asked for, and gets its own paging figures wrong.
ScriptedUpstream::Route rssPagesOfTwenty(int total) {
    return [total](const std::string& target) {
        const int first = std::stoi(test::parameter(target, "start")) - 1;
        const int count = std::max(0, std::min(20, total - first));
        return ScriptedUpstream::answer(
            test::rssAnswer(test::numberedResults(first, count), total, 1, total),
            "application/rss+xml");
    };
}

SearchRequest ask(std::string_view query, std::int32_t start, bool filter, bool safe) {
    return SearchRequest{query, start, 10, filter, safe, {}};
}

std::vector<std::string> urlsOf(const SearchPage& page) {
    std::vector<std::string> urls;
    for (const SearchHit& hit : page.hits) {
        urls.push_back(hit.url);
    }
    return urls;
}

std::vector<std::string> numberedUrls(int first, int count) {
    std::vector<std::string> urls;
    for (const test::ResultItem& item : test::numberedResults(first, count)) {
        urls.push_back(item.url);
    }
    return urls;
}

std::string faultOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const BackendError& error) {
        return error.what();
    }
    return "no fault";
}

TEST(UpstreamBackendTest, ThreePagesFromTwoEnginePagesAndNoneOnARepeat) {
    ScriptedUpstream upstream{rssPagesOfTwenty(45)};
    const std::string cacheFile = testing::TempDir() + "upstream_cache_test.sqlite";
    std::remove(cacheFile.c_str());
    auto backend =
        backendFor(openSearch(upstream.url(
                       "/os?q={searchTerms}&start={startIndex?}&n={count?}&p={startPage?}")),
                   BackendSetup{cacheFile});
    std::vector<std::string> urls;
    for (const std::int32_t start : {0, 10, 20}) {
        const SearchPage page = backend->search(ask("gopher", start, false, false));
        EXPECT_EQ(page.total, 45);
        const auto pageUrls = urlsOf(page);
        urls.insert(urls.end(), pageUrls.begin(), pageUrls.end());
    }
    EXPECT_EQ(urls, numberedUrls(0, 30));
    EXPECT_EQ(upstream.requestCount(), 2U);
    ASSERT_GE(upstream.targets().size(), 2U);
    EXPECT_EQ(test::parameter(upstream.targets()[1], "start"), "21");
    EXPECT_EQ(test::parameter(upstream.targets()[0], "n"), "30");

    // Within the hour, from this run or the next, the engine is not asked again.
    (void)backend->search(ask("gopher", 20, false, false));
    auto restarted =
        backendFor(openSearch(upstream.url(
                       "/os?q={searchTerms}&start={startIndex?}&n={count?}&p={startPage?}")),
                   BackendSetup{cacheFile});
    EXPECT_EQ(urlsOf(restarted->search(ask("gopher", 10, false, false))), numberedUrls(10, 10));
    EXPECT_EQ(upstream.requestCount(), 2U);
    std::remove(cacheFile.c_str());
}

TEST(UpstreamBackendTest, AtomWithoutATotalCountsWhatCame) {
    ScriptedUpstream upstream{[](const std::string& target) {
        const int page = std::stoi(test::parameter(target, "page"));
        // Page 2 and on repeat page 1: an engine that ignores paging.
        (void)page;
        return ScriptedUpstream::answer(test::atomAnswer(test::numberedResults(0, 7), -1),
                                        "application/atom+xml");
    }};
    auto backend = backendFor(openSearch(upstream.url("/a?q={searchTerms}&page={startPage}")));
    const SearchPage first = backend->search(ask("gopher", 0, false, false));
    EXPECT_EQ(urlsOf(first), numberedUrls(0, 7));
    EXPECT_EQ(first.total, 7);
    EXPECT_TRUE(backend->search(ask("gopher", 10, false, false)).hits.empty());
    // The repeated page ended the walk: two engine pages, the second one kept.
    EXPECT_EQ(upstream.requestCount(), 2U);
}

TEST(UpstreamBackendTest, UpstreamMarkupIsTextAndTheQueryWordsAreMarked) {
    ScriptedUpstream upstream{[](const std::string&) {
        return ScriptedUpstream::answer(test::searxngAnswer(
            {{"http://a.example/?x=1&y=2", "<script>alert(1)</script> Gopher menus",
              "An <img src=x onerror=alert(2)> gopher &amp; body"},
             {"javascript:alert(3)//http://b.example/", "gopher trap", "dropped"},
             {"data:text/html,gopher", "gopher data", "dropped"},
             {"ftp://c.example/gopher.txt", "A file", "no word here"}},
            3));
    }};
    auto backend = backendFor(makeSearxngEngine(upstream.url()));
    const SearchPage page = backend->search(ask("gopher", 0, true, false));
    ASSERT_EQ(page.hits.size(), 2U);
    EXPECT_EQ(page.hits[0].titleHtml, "&lt;script&gt;alert(1)&lt;/script&gt; <b>Gopher</b> menus");
    EXPECT_EQ(page.hits[0].snippetHtml,
              "An &lt;img src=x onerror=alert(2)&gt; <b>gopher</b> &amp;amp; body");
    EXPECT_EQ(page.hits[1].url, "ftp://c.example/gopher.txt");
    EXPECT_EQ(page.hits[1].snippetHtml, "no word here");
    EXPECT_TRUE(page.hits[0].summary.empty());
    EXPECT_TRUE(page.hits[0].directoryTitle.empty());

    const std::string soap = searchResponse(SearchAnswer{&page, "gopher", 0, 0.1});
    EXPECT_EQ(soap.find("<script>"), std::string::npos);
    EXPECT_NE(soap.find("&lt;b&gt;Gopher&lt;/b&gt;"), std::string::npos) << soap;
    const std::string html = WebPages{*backend, KeyRules{}}.search("q=gopher").html;
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt; <b>Gopher</b> menus"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.find("javascript:"), std::string::npos);
}

TEST(UpstreamBackendTest, ControlCharactersNeverReachTheAnswers) {
    ScriptedUpstream upstream{[](const std::string&) {
        return ScriptedUpstream::answer(test::searxngAnswer(
            {{"http://a.example/", std::string{"gopher\x01\x0b\0 rest \xef\xbf\xbf", 18}, "x"},
             {"http://b.example/\x01", "dropped: no such address", ""}},
            2, {std::string{"go\x02pher\xef\xbf\xbe", 10}}));
    }};
    auto backend = backendFor(makeSearxngEngine(upstream.url()));
    const SearchPage page = backend->search(ask("gopher", 0, false, false));
    ASSERT_EQ(page.hits.size(), 1U);
    EXPECT_EQ(page.hits[0].titleHtml, "<b>gopher</b>    rest \xef\xbf\xbf");
    // XML 1.0 allows none of these, not even as references.
    const std::string soap = searchResponse(SearchAnswer{&page, "gopher", 0, 0.1}) +
                             spellingResponse(backend->suggest("gopher"));
    for (const char* banned : {"&#x0001;", "&#x000B;", "&#x0002;", "&#xFFFF;", "&#xFFFE;"}) {
        EXPECT_EQ(soap.find(banned), std::string::npos) << banned;
    }
    EXPECT_NE(soap.find("go pher&#xFFFD;"), std::string::npos) << soap;
}

TEST(UpstreamBackendTest, AnEngineWithoutATotalStillOffersTheNextPage) {
    ScriptedUpstream upstream{[](const std::string& target) {
        const int first = std::stoi(test::parameter(target, "start")) - 1;
        return ScriptedUpstream::answer(
            test::rssAnswer(test::numberedResults(first, std::max(0, std::min(10, 50 - first))),
                            -1),
            "application/rss+xml");
    }};
    auto backend = backendFor(openSearch(upstream.url("/os?q={searchTerms}&start={startIndex}")));
    const SearchPage page = backend->search(ask("gopher", 0, true, false));
    EXPECT_EQ(page.total, 10);
    EXPECT_FALSE(page.exact);
    EXPECT_NE(searchResponse(SearchAnswer{&page, "gopher", 0, 0.1})
                  .find("<estimateIsExact xsi:type=\"xsd:boolean\">false</estimateIsExact>"),
              std::string::npos);
    const std::string html = WebPages{*backend, KeyRules{}}.search("q=gopher").html;
    EXPECT_NE(html.find(">Next</a>"), std::string::npos) << html;
}

TEST(UpstreamBackendTest, FilterFoldsHostsAndTheRequestReachesTheEngine) {
    ScriptedUpstream upstream{[](const std::string& target) {
        std::vector<test::ResultItem> items;
        for (int i = 1; i <= 5; ++i) {
            items.push_back({"http://same.example/" + std::to_string(i), "gopher", ""});
        }
        items.push_back({"http://other.example/", "gopher", ""});
        const bool second = test::parameter(target, "pageno") != "1";
        return ScriptedUpstream::answer(
            test::searxngAnswer(second ? std::vector<test::ResultItem>{} : items, 6));
    }};
    auto backend = backendFor(makeSearxngEngine(upstream.url("/base/")));
    const SearchPage folded =
        backend->search(SearchRequest{"gopher pages", 0, 10, true, true, "lang_de"});
    EXPECT_EQ(urlsOf(folded),
              (std::vector<std::string>{"http://same.example/1", "http://same.example/2",
                                        "http://other.example/"}));
    EXPECT_TRUE(folded.filtered);
    // The engine gave all it had: the total counts what folding left, not the engine's 6.
    EXPECT_EQ(folded.total, 3);
    EXPECT_EQ(folded.hits[1].hostName, "same.example");
    const std::string target = upstream.targets().front();
    EXPECT_EQ(target.substr(0, target.find('?')), "/base/search");
    EXPECT_EQ(test::parameter(target, "q"), "gopher pages");
    EXPECT_EQ(test::parameter(target, "format"), "json");
    EXPECT_EQ(test::parameter(target, "safesearch"), "2");
    EXPECT_EQ(test::parameter(target, "language"), "de");

    const SearchPage all = backend->search(ask("gopher pages", 0, false, false));
    EXPECT_EQ(all.hits.size(), 6U);
    EXPECT_FALSE(all.filtered);
    EXPECT_EQ(test::parameter(upstream.targets().back(), "safesearch"), "0");
}

TEST(UpstreamBackendTest, SpellingComesFromCorrectionsThenSuggestions) {
    ScriptedUpstream upstream{[](const std::string& target) {
        const std::string q = test::parameter(target, "q");
        if (q == "gophr menus") {
            return ScriptedUpstream::answer(
                test::searxngAnswer({}, 0, {"gopher menus"}, {"gopher menu"}));
        }
        const auto suggestions =
            q == "telnt" ? std::vector<std::string>{"telnet"} : std::vector<std::string>{};
        return ScriptedUpstream::answer(test::searxngAnswer({}, 0, {}, suggestions));
    }};
    auto backend = backendFor(makeSearxngEngine(upstream.url()));
    EXPECT_EQ(backend->suggest("gophr menus"), "gopher menus");
    EXPECT_EQ(backend->suggest("telnt"), "telnet");
    EXPECT_EQ(backend->suggest("gopher"), "");
    // OpenSearch engines give no spelling help, and are not asked.
    auto openSearchBackend = backendFor(openSearch(upstream.url("/?q={searchTerms}")));
    EXPECT_EQ(openSearchBackend->suggest("gophr"), "");
    EXPECT_EQ(upstream.requestCount(), 3U);
}

TEST(UpstreamBackendTest, EachUpstreamFailureIsAFaultThatSaysWhat) {
    const std::string big(kMaxUpstreamBytes + 1, ' ');
    ScriptedUpstream upstream{[&big](const std::string& target) {
        const std::string q = test::parameter(target, "q");
        ScriptedUpstream::Reply reply;
        if (q == "busy") {
            reply.status = 429;
        } else if (q == "broken") {
            reply.status = 503;
        } else if (q == "garbage") {
            reply.body = "<html>not json</html>";
        } else if (q == "huge") {
            reply.body = big;
        } else if (q == "hang") {
            reply.hang = true;
        } else if (q == "cut") {
            reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"results\":";
        }
        return reply;
    }};
    BackendSetup quick;
    quick.timeout = std::chrono::milliseconds{500};
    auto backend = backendFor(makeSearxngEngine(upstream.url()), quick);
    const auto faultFor = [&backend](std::string_view query) {
        return faultOf([&] { (void)backend->search(ask(query, 0, true, false)); });
    };
    EXPECT_EQ(faultFor("busy"), "upstream: HTTP 429");
    EXPECT_EQ(faultFor("broken"), "upstream: HTTP 503");
    EXPECT_EQ(faultFor("garbage").rfind("upstream: unreadable answer: ", 0), 0U)
        << faultFor("garbage");
    EXPECT_EQ(faultFor("huge"), "upstream: answer larger than 4 MiB");
    EXPECT_EQ(faultFor("hang"), "upstream: timed out");
    EXPECT_EQ(faultFor("cut"), "upstream: the answer broke off");

    const test::ClosedPort closed;
    auto refused = backendFor(makeSearxngEngine(closed.url("")), quick);
    EXPECT_EQ(faultOf([&] { (void)refused->search(ask("x", 0, true, false)); }),
              "upstream: connection refused");
    // Nothing failed is kept: the engine is asked again.
    const std::size_t asked = upstream.requestCount();
    EXPECT_EQ(faultFor("busy"), "upstream: HTTP 429");
    EXPECT_EQ(upstream.requestCount(), asked + 1);
}

TEST(UpstreamBackendTest, AHangingUpstreamHoldsUpNoOtherRequest) {
    ScriptedUpstream upstream{[](const std::string& target) {
        ScriptedUpstream::Reply reply;
        reply.hang = test::parameter(target, "q") == "hang";
        reply.body = test::searxngAnswer(test::numberedResults(0, 3), 3);
        return reply;
    }};
    BackendSetup slow;
    slow.timeout = std::chrono::milliseconds{3000};
    auto backend = backendFor(makeSearxngEngine(upstream.url()), slow);
    std::atomic<bool> hangingDone{false};
    auto hanging = std::async(std::launch::async, [&] {
        const std::string fault =
            faultOf([&] { (void)backend->search(ask("hang", 0, true, false)); });
        hangingDone = true;
        return fault;
    });
    while (upstream.requestCount() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds{5});
    }
    EXPECT_EQ(backend->search(ask("gopher", 0, true, false)).hits.size(), 3U);
    EXPECT_FALSE(hangingDone) << "the second search waited for the hanging one";
    EXPECT_EQ(hanging.get(), "upstream: timed out");
}

TEST(UpstreamBackendTest, CachedPagesOnlyForReturnedAddressesAndNeverLocal) {
    std::string pageUrl;
    ScriptedUpstream upstream{[&pageUrl](const std::string& target) {
        ScriptedUpstream::Reply reply;
        if (target.starts_with("/page")) {
            reply.contentType = "text/html";
            reply.body = "<p>the page</p>";
        } else if (target.starts_with("/moved")) {
            reply.status = 302;
            reply.raw = "HTTP/1.1 302 Found\r\nLocation: http://192.168.1.1/\r\nContent-Length: "
                        "0\r\nConnection: close\r\n\r\n";
        } else {
            reply.body = test::searxngAnswer(
                {{pageUrl + "page", "gopher page", ""},
                 {pageUrl + "moved", "gopher moved", ""},
                 {"http://localhost:" + pageUrl.substr(pageUrl.rfind(':') + 1) + "page",
                  "gopher by name", ""}},
                3);
        }
        return reply;
    }};
    pageUrl = upstream.url("/");
    BackendSetup loopbackAllowed;
    loopbackAllowed.allowLoopbackPages = true;
    auto backend = backendFor(makeSearxngEngine(upstream.url()), loopbackAllowed);
    const auto cached = [&backend](const std::string& url) {
        return faultOf([&] { (void)backend->cachedPage(url); });
    };
    EXPECT_EQ(cached(pageUrl + "page").rfind("The service keeps no copy", 0), 0U);
    ASSERT_EQ(backend->search(ask("gopher", 0, false, false)).hits.size(), 3U);
    const std::string page = backend->cachedPage(pageUrl + "page");
    EXPECT_NE(page.find("<p>the page</p>"), std::string::npos);
    EXPECT_EQ(page.rfind("<BASE HREF=\"" + pageUrl + "page\">", 0), 0U) << page;
    // A redirect is checked like the first address: private ones are never reached.
    EXPECT_EQ(cached(pageUrl + "moved"), "upstream: address not allowed");
    EXPECT_EQ(cached(pageUrl + "other"), cached("http://never.example/"));

    // Without the test's allowance, loopback is refused, by address and by a name for it.
    auto strict = backendFor(makeSearxngEngine(upstream.url()));
    ASSERT_EQ(strict->search(ask("gopher", 0, false, false)).hits.size(), 3U);
    EXPECT_EQ(faultOf([&] { (void)strict->cachedPage(pageUrl + "page"); }),
              "upstream: address not allowed");
    EXPECT_EQ(faultOf([&] {
                  (void)strict->cachedPage(
                      strict->search(ask("gopher", 0, false, false)).hits[2].url);
              }),
              "upstream: address not allowed");
}

TEST(OpenSearchTemplateTest, ParametersAreFilledOrLeftEmpty) {
    std::string error;
    const auto engine = makeOpenSearchEngine(
        "https://e.example/s?q={searchTerms}&c={os:count?}&l={language?}&L={language}"
        "&i={startIndex?}&p={startPage?}&ie={inputEncoding?}&x={other:thing?}",
        error);
    ASSERT_NE(engine, nullptr) << error;
    EXPECT_TRUE(engine->pages());
    EXPECT_EQ(engine->pageUrl(PageRequest{"a b&c+d/é", 2, 31, false, {}}),
              "https://e.example/s?q=a%20b%26c%2Bd%2F%C3%A9&c=30&l=&L=*&i=31&p=2&ie=UTF-8&x=");
    EXPECT_EQ(engine->pageUrl(PageRequest{"x", 1, 1, false, "de"}),
              "https://e.example/s?q=x&c=30&l=de&L=de&i=1&p=1&ie=UTF-8&x=");
    EXPECT_EQ(makeOpenSearchEngine("https://e.example/?q={searchTerms}&k={apiKey}", error),
              nullptr);
    EXPECT_NE(error.find("{apiKey}"), std::string::npos);
    EXPECT_FALSE(makeOpenSearchEngine("https://e.example/?q={searchTerms}", error)->pages());
    EXPECT_EQ(languageOf("lang_zh-CN"), "zh-CN");
    EXPECT_EQ(languageOf("lang_de|lang_fr"), "de");
    EXPECT_EQ(languageOf("lang_<x>"), "");
    EXPECT_EQ(languageOf("de"), "");
}

} // namespace
} // namespace tarvex::search
