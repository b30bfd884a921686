#include "app/cache_location.h"

#include "base/user_folders.h"

#include "shell/setting_names.h"

#include <filesystem>
#include <sys/stat.h>

namespace tarvex::app {
namespace {

// Passes each error on and remembers that there was one.
class NotedErrors final : public cache::CacheFileErrors {
public:
    explicit NotedErrors(cache::CacheFileErrors& next) : m_next(next) {}
    void report(const std::string& message) override {
        any = true;
        m_next.report(message);
    }
    bool any = false;

private:
    cache::CacheFileErrors& m_next;
};

std::string fill(std::string_view text, std::string_view first, std::string_view second = {}) {
    std::string message{text};
    if (const auto at = message.find("%1"); at != std::string::npos) {
        message.replace(at, 2, first);
    }
    if (const auto at = message.find("%2"); at != std::string::npos) {
        message.replace(at, 2, second);
    }
    return message;
}

// The errors of a file read only to merge it: it is kept aside when there are any.
class UnshownErrors final : public cache::CacheFileErrors {
public:
    void report(const std::string& /*message*/) override {}
};

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string cacheFileSetting(shell::SettingsStore& settings) {
    return shell::kCachePath.get(settings);
}

} // namespace

std::string defaultCachePath(std::string_view applicationKey) {
    std::string base = userDataHome().value_or(".");
    base.append("/").append(shell::kOrganisation).append("/").append(applicationKey).append("/");
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    return base.append(cache::kDefaultCacheFile);
}

CacheLoad loadCache(shell::SettingsStore& settings, cache::CGoogleResultCacheArray& results,
                    cache::CacheFileErrors& errors, const std::optional<std::string>& path) {
    const std::string file = path.value_or(cacheFileSetting(settings));
    if (file.empty()) {
        return {};
    }
    NotedErrors noted{errors};
    if (cache::LoadFromFile(file, results, noted)) {
        return {file, noted.any};
    }
    if (!path) {
        // Not kept, the next start finds the same unusable path and clears it again.
        (void)shell::kCachePath.put(settings, "");
    }
    return {};
}

std::vector<std::string> CacheSave::messages() const {
    std::vector<std::string> texts;
    if (!keptAs.empty()) {
        texts.push_back(fill(kDamagedCacheKept, file, keptAs));
    }
    if (keepFailed) {
        texts.push_back(fill(kDamagedCacheNotKept, file));
    } else if (!saved) {
        texts.push_back(fill(kCacheNotSaved, file));
    }
    return texts;
}

CacheSave saveCache(shell::SettingsStore& settings, cache::CGoogleResultCacheArray& results,
                    std::string_view applicationKey, CacheLoad& load,
                    const std::optional<std::string>& path) {
    CacheSave result;
    result.file = path.value_or(cacheFileSetting(settings));
    if (result.file.empty()) {
        result.file = defaultCachePath(applicationKey);
        // Not kept, the next start has no "Cache Path" and chooses this same default file.
        (void)shell::kCachePath.put(settings, result.file);
    }
    // A file this run did not read (its "Cache Path" was gone at start, or the file came later)
    // holds entries the run knows nothing of: they join the cache before it is written over.
    if (load.file != result.file && isRegularFile(result.file)) {
        UnshownErrors unshown;
        NotedErrors noted{unshown};
        cache::CGoogleResultCacheArray older{results.clock()};
        const bool read = cache::LoadFromFile(result.file, older, noted);
        results.mergeOlder(std::move(older));
        load = {result.file, !read || noted.any};
    }
    // The entries after the damage are still in the file; a save would lose them for good.
    if (load.errorsReported && load.file == result.file) {
        const cache::KeptCopy kept = cache::keepDamagedFile(result.file);
        if (kept.status == cache::KeptCopy::Status::Failed) {
            result.keepFailed = true;
            return result;
        }
        result.keptAs = kept.path;
        load.errorsReported = false;
    }
    result.saved = cache::SaveToFile(result.file, results);
    return result;
}

} // namespace tarvex::app
