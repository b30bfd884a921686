// Saving and loading a cache of 10 000 words with 30 results each, against writing and reading
// the same number of bytes with plain file I/O.
#include "cache_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace tarvex::cache;

class FixedClock final : public Clock {
public:
    OleDate now() const override { return {46364.5, OleDate::kValid}; }
};

class Ignored final : public CacheFileErrors {
public:
    void report(const std::string& /*message*/) override {}
};

const FixedClock kClock;

const CGoogleResultCacheArray& bigCache() {
    static const CGoogleResultCacheArray cache = [] {
        CGoogleResultCacheArray filled{kClock};
        for (int word = 0; word < 10000; ++word) {
            SearchResultSet set;
            for (int i = 0; i < 30; ++i) {
                const std::string n = std::to_string(word) + "-" + std::to_string(i);
                set.urls.add("http://www.example.org/results/" + n + ".html");
                set.titles.add("<b>Result</b> number " + n);
                set.summaries.add("");
                set.snippets.add("A snippet of text with <b>marked</b> words for result " + n +
                                 " ...");
                set.categoryNames.add(i % 3 == 0 ? "Top/Science/Physics" : "");
                set.directoryTitles.add("");
            }
            filled.Store("word " + std::to_string(word), set);
        }
        return filled;
    }();
    return cache;
}

const std::string kPath = "/tmp/tarvex_cache_bench.glr";

void saveCache(benchmark::State& state) {
    const auto& cache = bigCache();
    const std::size_t bytes = writeCacheBytes(cache).size();
    for (auto _ : state) {
        if (!SaveToFile(kPath, cache)) {
            state.SkipWithError("cannot save");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(saveCache)->Unit(benchmark::kMillisecond);

void loadCache(benchmark::State& state) {
    SaveToFile(kPath, bigCache());
    const std::size_t bytes = writeCacheBytes(bigCache()).size();
    Ignored errors;
    for (auto _ : state) {
        CGoogleResultCacheArray cache{kClock};
        if (!LoadFromFile(kPath, cache, errors) || cache.GetCount() != 10000) {
            state.SkipWithError("cannot load");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(loadCache)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes written and read back whole with plain streams.
void plainWriteAndRead(benchmark::State& state) {
    const std::string bytes = writeCacheBytes(bigCache());
    for (auto _ : state) {
        {
            std::ofstream out(kPath + ".plain", std::ios::binary);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        std::ifstream in(kPath + ".plain", std::ios::binary);
        const std::string back{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size() * 2));
    std::remove((kPath + ".plain").c_str());
}
BENCHMARK(plainWriteAndRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
