// Any bytes as a cache file.
#include "cache_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class Clock final : public tarvex::cache::Clock {
public:
    tarvex::cache::OleDate now() const override { return {}; }
};

class Ignored final : public tarvex::cache::CacheFileErrors {
public:
    void report(const std::string& /*message*/) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Clock clock;
    Ignored errors;
    tarvex::cache::CGoogleResultCacheArray cache{clock};
    tarvex::cache::readCacheBytes(std::string_view{reinterpret_cast<const char*>(data), size},
                                  "fuzz.glr", cache, errors);
    // What was read writes back without trouble.
    (void)tarvex::cache::writeCacheBytes(cache);
    return 0;
}
