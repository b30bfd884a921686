#pragma once

#include "cache/google_result_cache.h"

#include <cstddef>
#include <cstdint>
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

// What a cache read from `fileBytes` bytes may take in memory: every string costs its header
// even when it takes one byte in the file, so a bound on the count alone is not enough.
inline constexpr std::size_t kLoadMemoryPerFileByte = 16;
inline constexpr std::size_t kLoadMemoryAllowance = std::size_t{1} << 20;
[[nodiscard]] constexpr std::size_t loadMemoryBudget(std::size_t fileBytes) {
    constexpr std::size_t kLargest = (SIZE_MAX - kLoadMemoryAllowance) / kLoadMemoryPerFileByte;
    return fileBytes > kLargest ? SIZE_MAX
                                : kLoadMemoryAllowance + kLoadMemoryPerFileByte * fileBytes;
}

// What an entry of the cache takes in memory, as the loader counts it against its budget.
[[nodiscard]] std::size_t entryMemory(const CGoogleResultCache& entry);

// No cache file the program writes is larger: a save that would be fails (the old file stays),
// and a larger file is refused unread with the general error. 10,000 words of 30 results each
// take about 45 MB.
inline constexpr std::size_t kMaxCacheFileBytes = std::size_t{512} << 20;

// Replaces the cache by what `bytes` hold, as far as they can be read; each error is reported.
// `fileName` names the file in the messages that name it. An entry whose six result lists
// differ in length is dropped and reported as a bad format; loading stops with a general error
// when the cache would take more than loadMemoryBudget(bytes.size()).
void readCacheBytes(std::string_view bytes, const std::string& fileName,
                    CGoogleResultCacheArray& cache, CacheFileErrors& errors);
// What a load of a file over kMaxCacheFileBytes does without reading it: empties the cache and
// reports the general error.
void refuseOversizedFile(CGoogleResultCacheArray& cache, CacheFileErrors& errors);

// False when the file cannot be read, or is no regular file (a folder, a device); nothing
// changes then. A file over kMaxCacheFileBytes counts as read, with the general error.
bool LoadFromFile(const std::string& path, CGoogleResultCacheArray& cache, CacheFileErrors& errors);
// The calls a save makes on the file system, as the system makes them; a test makes any of them
// fail to see that the old file survives.
class SaveCalls {
public:
    virtual ~SaveCalls() = default;
    [[nodiscard]] virtual std::int64_t write(int descriptor, const char* data, std::size_t count);
    [[nodiscard]] virtual int sync(int descriptor);
    [[nodiscard]] virtual int rename(const char* from, const char* to);
};

// Written to a temporary file in the same folder and renamed over the old one, so that a failed
// save keeps the last good file. False when it cannot be written.
bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache);
bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache, SaveCalls& calls);

// A copy of a damaged cache file kept before a save replaces it.
struct KeptCopy {
    enum class Status {
        Kept,   // `path` names the copy
        NoFile, // there was no file to keep
        Failed, // the file is there but no copy could be made
    };
    Status status = Status::Failed;
    std::string path;
};

// Gives the file at `path` a second name, the first free one of PATH.damaged, PATH.damaged.1,
// PATH.damaged.2 ...; an existing name is never overwritten.
[[nodiscard]] KeptCopy keepDamagedFile(const std::string& path);
// How many of those names are tried before giving up.
inline constexpr int kMaxDamagedCopies = 1000;
inline constexpr std::string_view kDamagedSuffix = ".damaged";

// The default file name in the program folder.
inline constexpr std::string_view kDefaultCacheFile = "quorlan.glr";

} // namespace tarvex::cache
