// The service as a process answering from a scripted upstream engine: the client's 30-result
// search, spelling, a hanging engine beside a second client, and start-up mistakes.
#include "support/pg_test_database.h"
#include "support/scripted_upstream.h"
#include "support/service_process.h"

#include "base/code_page.h"
#include "base/memory_manager.h"
#include "base/sys_string.h"
#include "proxy/google_search.h"
#include "service/command_line.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <future>

namespace tarvex::search {
namespace {

using test::ScriptedUpstream;

std::string cacheFile(const std::string& name) {
    const std::string path = testing::TempDir() + name;
    std::remove(path.c_str());
    return path;
}

std::vector<std::string> serviceArguments(const std::string& upstream, const std::string& cache) {
    return {"--upstream", upstream, "--upstream-cache", cache, "--no-config"};
}

// The urls of a `tarvex search` through the client's controller, with the client's own cache
// off, so each run asks the service.
std::vector<std::string> toolSearch(const std::string& endpoint, const std::string& word,
                                    const std::string& max) {
    const std::string settings = testing::TempDir() + "upstream_process_settings.ini";
    std::remove(settings.c_str());
    const cli::ToolRun run = cli::run({"search", "--endpoint", endpoint, "--key", "k", "--max", max,
                                       "--settings", settings, "--no-cache", "--json", word});
    std::remove(settings.c_str());
    EXPECT_EQ(run.status, cli::kExitOk) << run.err;
    if (run.status != cli::kExitOk) {
        return {};
    }
    return nlohmann::json::parse(run.out).at("urls").get<std::vector<std::string>>();
}

struct Call {
    HResult status = kOk;
    std::string text; // the suggestion, or the fault's string
};

Call spelling(const std::string& endpoint, std::u16string_view phrase) {
    proxy::CGoogleSearch proxy{endpoint};
    const UniqueSysString key{sysAllocString(u"k")};
    const UniqueSysString text{sysAllocString(phrase)};
    SysString result = nullptr;
    Call call;
    call.status = proxy.doSpellingSuggestion(key.get(), text.get(), result);
    const UniqueSysString owned{result};
    call.text = utf16ToCodePage(
        sysStringView(failed(call.status) ? proxy.fault().faultString.get() : result));
    return call;
}

Call search(const std::string& endpoint, std::u16string_view q) {
    proxy::CGoogleSearch proxy{endpoint};
    const UniqueSysString key{sysAllocString(u"k")};
    const UniqueSysString text{sysAllocString(q)};
    proxy::GoogleSearchResult result{};
    Call call;
    call.status = proxy.doGoogleSearch(key.get(), text.get(), 0, 10, true, nullptr, false, nullptr,
                                       nullptr, nullptr, result);
    if (failed(call.status)) {
        call.text = utf16ToCodePage(sysStringView(proxy.fault().faultString.get()));
    } else {
        call.text = std::to_string(result.resultElementsCount);
        proxy::releaseGoogleSearchResult(result);
    }
    return call;
}

TEST(UpstreamProcessTest, ThirtyResultsCostTwoEnginePagesAndARepeatNone) {
    ScriptedUpstream upstream{[](const std::string& target) {
        const int first = std::stoi(test::parameter(target, "start")) - 1;
        return ScriptedUpstream::answer(
            test::rssAnswer(test::numberedResults(first, std::max(0, std::min(20, 45 - first))), 45,
                            1, 45),
            "application/rss+xml");
    }};
    const std::string cache = cacheFile("upstream_process_pages.sqlite");
    test::ServiceProcess service{
        TARVEX_SERVICE_BINARY,
        serviceArguments("opensearch:" + upstream.url("/rss?q={searchTerms}&start={startIndex?}"),
                         cache)};
    ASSERT_FALSE(service.endpoint().empty()) << service.errorOutput();
    const std::vector<std::string> urls = toolSearch(service.endpoint(), "gopher", "30");
    ASSERT_EQ(urls.size(), 30U);
    EXPECT_EQ(urls.front(), "http://r1.example.com/page");
    EXPECT_EQ(urls.back(), "http://r30.example.com/page");
    EXPECT_EQ(upstream.requestCount(), 2U);
    EXPECT_EQ(toolSearch(service.endpoint(), "gopher", "30"), urls);
    EXPECT_EQ(upstream.requestCount(), 2U);
    EXPECT_EQ(service.stop(), 0);
    std::remove(cache.c_str());
}

TEST(UpstreamProcessTest, SpellingAndAHangingEngineBesideASecondClient) {
    ScriptedUpstream upstream{[](const std::string& target) {
        const std::string q = test::parameter(target, "q");
        ScriptedUpstream::Reply reply =
            ScriptedUpstream::answer(test::searxngAnswer(test::numberedResults(0, 4), 4));
        if (q == "gophr") {
            reply.body = test::searxngAnswer({}, 0, {}, {"gopher"});
        } else if (q == "hang") {
            reply.hang = true;
        } else if (q == "busy") {
            reply.status = 429;
        }
        return reply;
    }};
    const std::string cache = cacheFile("upstream_process_spelling.sqlite");
    test::ServiceProcess service{TARVEX_SERVICE_BINARY,
                                 serviceArguments("searxng:" + upstream.url(), cache)};
    ASSERT_FALSE(service.endpoint().empty()) << service.errorOutput();
    const Call suggestion = spelling(service.endpoint(), u"gophr");
    EXPECT_EQ(suggestion.status, kOk) << suggestion.text;
    EXPECT_EQ(suggestion.text, "gopher");

    const Call busy = search(service.endpoint(), u"busy");
    EXPECT_TRUE(failed(busy.status));
    EXPECT_EQ(busy.text, "upstream: HTTP 429");

    auto hanging =
        std::async(std::launch::async, [&] { return search(service.endpoint(), u"hang"); });
    while (upstream.requestCount() < 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }
    const Call served = search(service.endpoint(), u"gopher");
    EXPECT_EQ(served.status, kOk) << served.text;
    EXPECT_EQ(served.text, "4");
    EXPECT_EQ(hanging.wait_for(std::chrono::seconds{0}), std::future_status::timeout)
        << "the second client was served only after the hanging search ended";
    const Call timedOut = hanging.get();
    EXPECT_TRUE(failed(timedOut.status));
    EXPECT_EQ(timedOut.text, "upstream: timed out");
    EXPECT_EQ(service.stop(), 0);
    std::remove(cache.c_str());
}

// Two gateways on one database, as behind a load balancer: an answer one fetched spares the
// other the engine, and the page of a result one gave out is served by the other.
TEST(UpstreamProcessTest, GatewaysOnOneDatabaseShareTheirCache) {
    if (const std::string unavailable = test::PgTestDatabase::unavailable(); !unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    const test::PgTestDatabase database;
    std::atomic<int> port{0};
    ScriptedUpstream upstream{[&port](const std::string& target) {
        if (target.starts_with("/page")) {
            return ScriptedUpstream::answer("<p>the kept page</p>", "text/html");
        }
        const std::string page = "http://127.0.0.1:" + std::to_string(port.load()) + "/page";
        return ScriptedUpstream::answer(test::searxngAnswer({{page, "Gopher", "gopher text"}}, 1));
    }};
    port = upstream.port();
    const std::vector<std::string> arguments{"--upstream",         "searxng:" + upstream.url(),
                                             "--database",         database.conninfo(),
                                             kLoopbackPagesOption, "yes",
                                             "--no-config"};
    test::ServiceProcess first{TARVEX_SERVICE_BINARY, arguments};
    ASSERT_FALSE(first.endpoint().empty()) << first.errorOutput();
    test::ServiceProcess second{TARVEX_SERVICE_BINARY, arguments};
    ASSERT_FALSE(second.endpoint().empty()) << second.errorOutput();

    EXPECT_EQ(search(first.endpoint(), u"gopher").text, "1");
    EXPECT_EQ(search(second.endpoint(), u"gopher").text, "1");
    EXPECT_EQ(upstream.requestCount(), 1U);

    proxy::CGoogleSearch proxy{second.endpoint()};
    const UniqueSysString key{sysAllocString(u"k")};
    const std::string page = upstream.url("/page");
    const UniqueSysString url{sysAllocString(std::u16string{page.begin(), page.end()})};
    soap::XsdBinary cached{};
    ASSERT_EQ(proxy.doGetCachedPage(key.get(), url.get(), cached), kOk)
        << utf16ToCodePage(sysStringView(proxy.fault().faultString.get()));
    const std::string text(reinterpret_cast<const char*>(cached.data),
                           static_cast<std::size_t>(cached.size));
    processHeap().release(cached.data);
    EXPECT_NE(text.find("<p>the kept page</p>"), std::string::npos) << text;
    EXPECT_EQ(first.stop(), 0);
    EXPECT_EQ(second.stop(), 0);
}

TEST(UpstreamProcessTest, AnUnusableUpstreamStopsTheStart) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--upstream", "bing:http://x/"},
          std::vector<std::string>{"--upstream", "opensearch:http://x/?q=none"},
          std::vector<std::string>{"--upstream", "searxng:gopher://x/"},
          std::vector<std::string>{"--upstream", "opensearch:http://x/?q={searchTerms}&k={key}"},
          std::vector<std::string>{"--upstream", "searxng:http://x/", "--upstream-ca",
                                   "/nonexistent/ca.pem"},
          std::vector<std::string>{"--upstream-rate", "0"}}) {
        std::vector<std::string> withoutConfig = arguments;
        withoutConfig.emplace_back("--no-config");
        test::ServiceProcess service{TARVEX_SERVICE_BINARY, withoutConfig};
        EXPECT_TRUE(service.endpoint().empty()) << arguments.back();
        EXPECT_EQ(service.exitStatus(), 2) << arguments.back() << service.errorOutput();
    }
}

} // namespace
} // namespace tarvex::search
