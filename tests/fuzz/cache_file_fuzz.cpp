// Any bytes as a cache file.
#include "cache/cache_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class FixedClock final : public tarvex::cache::Clock {
public:
    tarvex::cache::OleDate now() const override { return {}; }
};

class Counted final : public tarvex::cache::CacheFileErrors {
public:
    void report(const std::string& message) override {
        ++count;
        general = general && message.find("unknown error") != std::string::npos;
    }
    int count = 0;
    bool general = true; // only general errors so far
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex::cache;
    const FixedClock clock;
    Counted errors;
    CGoogleResultCacheArray cache{clock};
    readCacheBytes(std::string_view{reinterpret_cast<const char*>(data), size}, "fuzz.glr", cache,
                   errors);
    // Rows are read by index from every list, and the file's size bounds the memory.
    std::size_t memory = 0;
    for (const auto& entry : cache.entries()) {
        if (!hasParallelLists(*entry)) {
            std::abort();
        }
        memory += entryMemory(*entry);
    }
    if (memory > loadMemoryBudget(size)) {
        std::abort();
    }
    // What was read writes back and reads back the same. The written file can be smaller than
    // the one read (UTF-16 texts, long length prefixes), so its budget may be the one error.
    const std::string written = writeCacheBytes(cache);
    Counted again;
    CGoogleResultCacheArray reread{clock};
    readCacheBytes(written, "fuzz.glr", reread, again);
    if (again.count == 0 ? writeCacheBytes(reread) != written : !again.general) {
        std::abort();
    }
    return 0;
}
