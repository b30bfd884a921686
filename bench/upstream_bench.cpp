// The service answering from an upstream engine 50 ms away (a scripted engine on loopback that
// waits before each answer, in pages of 20): the client's 30-result search as three SOAP
// requests with nothing kept yet, against the bare round trips it needs; and the same search
// again within the hour, from the kept answers.
#include "base/sys_string.h"
#include "http/tls_socket.h"
#include "proxy/google_search_handler.h"
#include "service/search_service.h"
#include "service/upstream_backend.h"
#include "service/upstream_cache.h"
#include "soap/output_sink.h"
#include "support/scripted_upstream.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>

namespace {

using namespace tarvex;
using namespace tarvex::search;
using test::ScriptedUpstream;

constexpr std::chrono::milliseconds kLatency{50};

std::string request(std::u16string_view q, std::int32_t start) {
    const UniqueSysString key{sysAllocString(u"bench")};
    const UniqueSysString query{sysAllocString(q)};
    proxy::DoGoogleSearchArgs args;
    args.key = key.get();
    args.q = query.get();
    args.start = start;
    soap::StringSink sink;
    (void)proxy::writeDoGoogleSearchRequest(args, sink);
    return sink.text();
}

ScriptedUpstream& upstream() {
    static ScriptedUpstream engine{[](const std::string& target) {
        const int first = std::stoi(test::parameter(target, "start")) - 1;
        ScriptedUpstream::Reply reply = ScriptedUpstream::answer(
            test::rssAnswer(test::numberedResults(first, std::max(0, std::min(20, 45 - first))),
                            45),
            "application/rss+xml");
        reply.delay = kLatency;
        return reply;
    }};
    return engine;
}

std::unique_ptr<UpstreamBackend> freshBackend() {
    std::string error;
    UpstreamSettings settings;
    settings.ratePerSecond = 1000;
    return std::make_unique<UpstreamBackend>(
        makeOpenSearchEngine(upstream().url("/rss?q={searchTerms}&start={startIndex?}"), error),
        UpstreamClient{http::TlsTrust::system()},
        std::make_unique<UpstreamCache>(":memory:", std::chrono::hours{1}), settings);
}

const std::array<std::string, 3>& pages() {
    static const std::array<std::string, 3> bodies{request(u"gopher", 0), request(u"gopher", 10),
                                                   request(u"gopher", 20)};
    return bodies;
}

bool answerAll(SearchService& service) {
    bool ok = true;
    for (const std::string& body : pages()) {
        ok = service.answer(body).status == 200 && ok;
    }
    return ok;
}

// Two bare fetches of the engine's pages: the floor under a search that needs two.
void BM_TwoUpstreamRoundTrips(benchmark::State& state) {
    const UpstreamClient client{http::TlsTrust::system()};
    const FetchOptions options{kMaxUpstreamBytes, std::chrono::seconds{5}, false, false, "*/*"};
    for (auto _ : state) {
        std::string first = client.get(upstream().url("/rss?q=gopher&start=1"), options);
        std::string second = client.get(upstream().url("/rss?q=gopher&start=21"), options);
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(second);
    }
}
BENCHMARK(BM_TwoUpstreamRoundTrips)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThirtyResultsFirstTime(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto backend = freshBackend();
        SearchService service{*backend, {}};
        state.ResumeTiming();
        if (!answerAll(service)) {
            state.SkipWithError("a page failed");
        }
        state.counters["upstream_requests"] = static_cast<double>(backend->fetches());
    }
}
BENCHMARK(BM_ThirtyResultsFirstTime)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThirtyResultsRepeated(benchmark::State& state) {
    auto backend = freshBackend();
    SearchService service{*backend, {}};
    (void)answerAll(service);
    for (auto _ : state) {
        if (!answerAll(service)) {
            state.SkipWithError("a page failed");
        }
    }
    state.counters["upstream_requests"] = static_cast<double>(backend->fetches());
}
BENCHMARK(BM_ThirtyResultsRepeated)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
