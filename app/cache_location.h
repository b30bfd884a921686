#pragma once

#include "cache_file.h"
#include "google_result_cache.h"
#include "settings_store.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::app {

// The default cache file of a program in the per-user data folder (XDG_DATA_HOME, else
// ~/.local/share), under the company and the application key; the folder is created.
[[nodiscard]] std::string defaultCachePath(std::string_view applicationKey);

// Start-up: loads the file named by "Cache Path", or `path` when one is given. A "Cache Path"
// file that cannot be loaded is forgotten (the setting is cleared). True when a file was loaded.
bool loadCache(shell::SettingsStore& settings, cache::CGoogleResultCacheArray& results,
               cache::CacheFileErrors& errors, const std::optional<std::string>& path = {});

// Shut-down: saves to `path` when given, else to "Cache Path"; an empty "Cache Path" becomes the
// default file first and is written back. False when the file cannot be written.
bool saveCache(shell::SettingsStore& settings, const cache::CGoogleResultCacheArray& results,
               std::string_view applicationKey, const std::optional<std::string>& path = {});

} // namespace tarvex::app
