#pragma once

#include "google_result_cache.h"

#include <string>
#include <string_view>

namespace tarvex::cache {

// Where the errors of a cache file go (the window shows each in a message box).
class CacheFileErrors {
public:
    virtual ~CacheFileErrors() = default;
    virtual void report(const std::string& message) = 0;
};

// The cache as an object stream: a count, then one tagged entry each with its scalars and seven
// length-prefixed string lists; integers little-endian.
[[nodiscard]] std::string writeCacheBytes(const CGoogleResultCacheArray& cache);

// Replaces the cache by what `bytes` hold, as far as they can be read; each error is reported.
// `fileName` names the file in the messages that name it.
void readCacheBytes(std::string_view bytes, const std::string& fileName,
                    CGoogleResultCacheArray& cache, CacheFileErrors& errors);

// False when the file cannot be read (nothing changes).
bool LoadFromFile(const std::string& path, CGoogleResultCacheArray& cache, CacheFileErrors& errors);
// Written to a temporary file in the same folder and renamed over the old one, so that a failed
// save keeps the last good file. False when it cannot be written.
bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache);

// The default file name in the program folder.
inline constexpr std::string_view kDefaultCacheFile = "quorlan.glr";

} // namespace tarvex::cache
