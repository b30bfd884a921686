// One doGoogleSearch call on loopback, as the search worker makes it: a new proxy and a new
// connection, the request written and posted, ten results read back and released.
#include "google_search.h"
#include "scripted_server.h"
#include "sys_string.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

namespace {

using namespace tarvex;

void doGoogleSearchRoundTrip(benchmark::State& state) {
    std::ifstream in(TARVEX_RESPONSE_FIXTURE, std::ios::binary);
    const std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    test::ScriptedServer server{
        {test::ScriptedServer::answer(test::ScriptedServer::response(200, body))}, true};
    const std::string endpoint = server.url();
    const UniqueSysString key{sysAllocString(u"00000000000000000000000000000000")};
    const UniqueSysString query{sysAllocString(u"temperature")};
    for (auto _ : state) {
        proxy::CGoogleSearch proxy{endpoint};
        proxy::GoogleSearchResult result{};
        if (failed(proxy.doGoogleSearch(key.get(), query.get(), 0, 10, true, nullptr, false,
                                        nullptr, nullptr, nullptr, result))) {
            state.SkipWithError("the call failed");
            return;
        }
        benchmark::DoNotOptimize(result.resultElements);
        proxy::releaseGoogleSearchResult(result);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("calls");
}
BENCHMARK(doGoogleSearchRoundTrip)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
