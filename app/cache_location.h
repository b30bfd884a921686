#pragma once

#include "cache/cache_file.h"
#include "cache/google_result_cache.h"
#include "shell/settings_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::app {

// The default cache file of a program in the per-user data folder (XDG_DATA_HOME, else
// ~/.local/share), under the company and the application key; the folder is created.
[[nodiscard]] std::string defaultCachePath(std::string_view applicationKey);

// What the start-up load found; the shut-down save needs it to keep a damaged file.
struct CacheLoad {
    std::string file;            // the file that was read; empty when none was
    bool errorsReported = false; // the file was read only up to damage
    [[nodiscard]] bool loaded() const { return !file.empty(); }
};

// Start-up: loads the file named by "Cache Path", or `path` when one is given. A "Cache Path"
// file that cannot be loaded (missing, a folder, unreadable) is forgotten: the setting is
// cleared. Each error of the file goes to `errors`.
[[nodiscard]] CacheLoad loadCache(shell::SettingsStore& settings,
                                  cache::CGoogleResultCacheArray& results,
                                  cache::CacheFileErrors& errors,
                                  const std::optional<std::string>& path = {});

// Messages of a save, with %1 the cache file and %2 where a damaged one was kept.
inline constexpr std::string_view kDamagedCacheKept =
    "%1 could not be read in full; it has been kept as %2.";
inline constexpr std::string_view kDamagedCacheNotKept =
    "%1 could not be read in full and could not be kept aside, so the cache was not saved "
    "over it.";
inline constexpr std::string_view kCacheNotSaved =
    "The cache could not be saved to %1; the file there, if any, is unchanged.";

// What a shut-down save did.
struct CacheSave {
    std::string file;        // the file the cache was saved to, or was meant for
    bool saved = false;      // the file now holds the cache
    std::string keptAs;      // where the damaged file was kept; empty when none was
    bool keepFailed = false; // a damaged file that could not be kept: it was not overwritten

    // The messages to show, in order; none after a plain good save.
    [[nodiscard]] std::vector<std::string> messages() const;
};

// Shut-down: saves to `path` when given, else to "Cache Path"; an empty "Cache Path" becomes the
// default file first and is written back. A file there that `load` did not read is read first
// and its entries merged (cache::CGoogleResultCacheArray::mergeOlder), so that a run which could
// not load its file never writes its own few words over it; `load` then names that file. When
// `load` read this same file and reported errors (or the merge could not read it in full), the
// file is first kept aside (cache::keepDamagedFile) so that the entries after the damage
// survive; if that fails, nothing is saved. Once kept, `load` no longer counts as damaged, so a
// second save does not keep the new file too.
[[nodiscard]] CacheSave saveCache(shell::SettingsStore& settings,
                                  cache::CGoogleResultCacheArray& results,
                                  std::string_view applicationKey, CacheLoad& load,
                                  const std::optional<std::string>& path = {});

} // namespace tarvex::app
