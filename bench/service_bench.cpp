// The local search service in-process: one whole SOAP request answered (read, search, write)
// against the index search under it, measured in the same run; and a spelling suggestion.
#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "service/corpus.h"
#include "service/search_index.h"
#include "service/search_service.h"
#include "soap/output_sink.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace tarvex;
using namespace tarvex::search;

std::string request(std::u16string_view q) {
    const UniqueSysString key{sysAllocString(u"bench")};
    const UniqueSysString query{sysAllocString(q)};
    proxy::DoGoogleSearchArgs args;
    args.key = key.get();
    args.q = query.get();
    soap::StringSink sink;
    (void)proxy::writeDoGoogleSearchRequest(args, sink);
    return sink.text();
}

SearchIndex& index() {
    static SearchIndex built{readCorpus(bundledCorpusText()), 1};
    return built;
}

void BM_AnswerSearch(benchmark::State& state) {
    SearchService service{index(), {}};
    const std::string body = request(u"computing history");
    for (auto _ : state) {
        ServiceReply reply = service.answer(body);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_AnswerSearch);

void BM_IndexSearchOnly(benchmark::State& state) {
    for (auto _ : state) {
        SearchPage page =
            index().search(SearchRequest{"computing history", 0, 10, true, false, {}});
        benchmark::DoNotOptimize(page);
    }
}
BENCHMARK(BM_IndexSearchOnly);

// The ranking query alone: no page, so nothing is marked.
void BM_IndexRankOnly(benchmark::State& state) {
    for (auto _ : state) {
        SearchPage page = index().search(SearchRequest{"computing history", 0, 0, true, false, {}});
        benchmark::DoNotOptimize(page);
    }
}
BENCHMARK(BM_IndexRankOnly);

void BM_AnswerSpelling(benchmark::State& state) {
    for (auto _ : state) {
        std::string suggestion = index().spelling().suggest("macslip teletyep");
        benchmark::DoNotOptimize(suggestion);
    }
}
BENCHMARK(BM_AnswerSpelling);

} // namespace

BENCHMARK_MAIN();
