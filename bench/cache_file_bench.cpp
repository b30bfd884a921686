// Saving and loading a cache of 10 000 words with 30 results each, against plain I/O of the
// same bytes: the save against one write, fsync and rename of a temporary file (as the save
// does them), the load against one read() of the whole file into a new buffer, and into one
// already mapped in.
//
//   cache_file_bench [--dir FOLDER] [benchmark flags]
//
// The files live in a new folder under FOLDER (default: the temporary folder), removed at the
// end; name a folder on a real disk to see what its syncs cost.
#include "cache/cache_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace tarvex::cache;

constexpr int kWords = 10000;
constexpr int kResultsPerWord = 30;

class FixedClock final : public Clock {
public:
    OleDate now() const override { return {46364.5, OleDate::kValid}; }
};

class Ignored final : public CacheFileErrors {
public:
    void report(const std::string& /*message*/) override {}
};

const FixedClock kClock;

// A folder of its own, removed with everything in it at the end of the run.
class BenchFolder {
public:
    explicit BenchFolder(const std::filesystem::path& parent) {
        std::string pattern = (parent / "tarvex_cache_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder in " + parent.string());
        }
        m_path = pattern;
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    [[nodiscard]] std::string file(std::string_view name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

const BenchFolder* gFolder = nullptr;

// Entries added as they are, not stored one by one: every Store looks for its word first.
const CGoogleResultCacheArray& bigCache() {
    static const CGoogleResultCacheArray cache = [] {
        CGoogleResultCacheArray filled{kClock};
        for (int word = 0; word < kWords; ++word) {
            auto entry = std::make_unique<CGoogleResultCache>();
            entry->queryWord = "word " + std::to_string(word);
            entry->estimatedTotal = 1000;
            entry->searchedAt = kClock.now();
            for (int i = 0; i < kResultsPerWord; ++i) {
                const std::string n = std::to_string(word) + "-" + std::to_string(i);
                entry->urls.add("http://www.example.org/results/" + n + ".html");
                entry->titles.add("<b>Result</b> number " + n);
                entry->summaries.add("");
                entry->snippets.add("A snippet of text with <b>marked</b> words for result " + n +
                                    " ...");
                entry->categoryNames.add(i % 3 == 0 ? "Top/Science/Physics" : "");
                entry->directoryTitles.add("");
            }
            filled.add(std::move(entry));
        }
        return filled;
    }();
    return cache;
}

const std::string& bigCacheBytes() {
    static const std::string bytes = writeCacheBytes(bigCache());
    return bytes;
}

void reportBytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void saveCache(benchmark::State& state) {
    const std::string path = gFolder->file("save.glr");
    const std::size_t bytes = bigCacheBytes().size(); // the cache is made before the clock runs
    for (auto _ : state) {
        if (!SaveToFile(path, bigCache())) {
            state.SkipWithError("cannot save");
            return;
        }
    }
    reportBytes(state, bytes);
}
BENCHMARK(saveCache)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline of the save: the finished bytes in one write to a temporary file in the same folder,
// fsync, close and rename over the old file.
bool writeSyncRename(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    const bool written =
        write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const bool synced = written && fsync(descriptor) == 0;
    const bool closed = close(descriptor) == 0;
    if (!synced || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void plainWriteSyncRename(benchmark::State& state) {
    const std::string path = gFolder->file("plain.glr");
    const std::string& bytes = bigCacheBytes();
    for (auto _ : state) {
        if (!writeSyncRename(path, bytes)) {
            state.SkipWithError("cannot write");
            return;
        }
    }
    reportBytes(state, bytes.size());
}
BENCHMARK(plainWriteSyncRename)->Unit(benchmark::kMillisecond)->UseRealTime();

void loadCache(benchmark::State& state) {
    const std::string path = gFolder->file("load.glr");
    if (!writeSyncRename(path, bigCacheBytes())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    Ignored errors;
    for (auto _ : state) {
        auto cache = std::make_unique<CGoogleResultCacheArray>(kClock);
        if (!LoadFromFile(path, *cache, errors) || cache->GetCount() != kWords) {
            state.SkipWithError("cannot load");
            return;
        }
        // Freeing the cache is no part of its load.
        state.PauseTiming();
        cache.reset();
        state.ResumeTiming();
    }
    reportBytes(state, bigCacheBytes().size());
}
BENCHMARK(loadCache)->Unit(benchmark::kMillisecond)->UseRealTime();

// One read() of the whole file into `buffer`, which holds `size` bytes.
bool readWhole(const std::string& path, char* buffer, std::size_t size) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    struct stat info {};
    const bool sized =
        fstat(descriptor, &info) == 0 && static_cast<std::size_t>(info.st_size) == size;
    const bool read = sized && ::read(descriptor, buffer, size) == static_cast<ssize_t>(size);
    close(descriptor);
    return read;
}

// Baseline of the load: open, fstat, one read() of the whole file into a new buffer of its
// size, close. The buffer is new each time, as a load's is: the memory the read lands in must
// be mapped in either way, and on a small machine that costs more than the read.
void plainRead(benchmark::State& state) {
    const std::string path = gFolder->file("load.glr");
    const std::size_t size = bigCacheBytes().size();
    if (!writeSyncRename(path, bigCacheBytes())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    for (auto _ : state) {
        const auto buffer = std::make_unique_for_overwrite<char[]>(size);
        if (!readWhole(path, buffer.get(), size)) {
            state.SkipWithError("cannot read the file");
            return;
        }
        benchmark::DoNotOptimize(buffer.get());
    }
    reportBytes(state, size);
}
BENCHMARK(plainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The read alone: the same read() into one buffer, mapped in before the first.
void plainReadWarm(benchmark::State& state) {
    const std::string path = gFolder->file("load.glr");
    const std::size_t size = bigCacheBytes().size();
    std::string buffer(size, '\0');
    if (!writeSyncRename(path, bigCacheBytes())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    for (auto _ : state) {
        if (!readWhole(path, buffer.data(), size)) {
            state.SkipWithError("cannot read the file");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    reportBytes(state, size);
}
BENCHMARK(plainReadWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path parent = std::filesystem::temp_directory_path();
    if (argc > 2 && std::string_view{argv[1]} == "--dir") {
        parent = argv[2];
        std::copy(argv + 3, argv + argc, argv + 1);
        argc -= 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    try {
        const BenchFolder folder{parent};
        gFolder = &folder;
        benchmark::AddCustomContext("folder", parent.string());
        benchmark::RunSpecifiedBenchmarks();
        gFolder = nullptr;
    } catch (const std::exception& failure) {
        std::cerr << "cache_file_bench: " << failure.what() << '\n';
        return 2;
    }
    benchmark::Shutdown();
    return 0;
}
