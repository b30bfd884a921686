// Writing the doGoogleSearch request envelope, against the bare cost of putting the same bytes
// into the same sink. Rates are per second of wall-clock time.
#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/output_sink.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tarvex;

struct Call {
    UniqueSysString key{sysAllocString(u"00000000000000000000000000000000")};
    UniqueSysString query{sysAllocString(u"shrdlu winograd maclisp teletype & <friends> \u00E9")};
    proxy::DoGoogleSearchArgs args() const {
        proxy::DoGoogleSearchArgs call;
        call.key = key.get();
        call.q = query.get();
        return call;
    }
};

void writeEnvelope(benchmark::State& state) {
    const Call call;
    soap::StringSink sink;
    for (auto _ : state) {
        sink.clear();
        benchmark::DoNotOptimize(proxy::writeDoGoogleSearchRequest(call.args(), sink));
        benchmark::DoNotOptimize(sink.text().data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sink.text().size()));
    state.SetLabel("envelopes");
}
BENCHMARK(writeEnvelope)->UseRealTime();

// Baseline: the finished envelope copied into the sink in one piece.
void copyFinishedEnvelope(benchmark::State& state) {
    const Call call;
    soap::StringSink finished;
    if (failed(proxy::writeDoGoogleSearchRequest(call.args(), finished))) {
        state.SkipWithError("envelope not written");
        return;
    }
    soap::StringSink sink;
    for (auto _ : state) {
        sink.clear();
        benchmark::DoNotOptimize(soap::writeText(sink, finished.text()));
        benchmark::DoNotOptimize(sink.text().data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("baseline");
}
BENCHMARK(copyFinishedEnvelope)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
