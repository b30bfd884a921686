#include "cache_location.h"

#include "setting_names.h"

#include <cstdlib>
#include <filesystem>

namespace tarvex::app {

std::string defaultCachePath(std::string_view applicationKey) {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base = dataHome != nullptr && *dataHome != 0 ? dataHome
                       : home != nullptr                     ? std::string{home} + "/.local/share"
                                                             : std::string{"."};
    base.append("/Brenmoor Technologies/").append(applicationKey).append("/");
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    return base.append(cache::kDefaultCacheFile);
}

bool loadCache(shell::SettingsStore& settings, cache::CGoogleResultCacheArray& results,
               cache::CacheFileErrors& errors, const std::optional<std::string>& path) {
    const std::string file = path.value_or(settings.getString(
        shell::kCachePath.section, shell::kCachePath.entry, shell::kCachePath.fallback));
    if (file.empty()) {
        return false;
    }
    if (cache::LoadFromFile(file, results, errors)) {
        return true;
    }
    if (!path) {
        settings.putString(shell::kCachePath.section, shell::kCachePath.entry, "");
    }
    return false;
}

bool saveCache(shell::SettingsStore& settings, const cache::CGoogleResultCacheArray& results,
               std::string_view applicationKey, const std::optional<std::string>& path) {
    std::string file = path.value_or(settings.getString(
        shell::kCachePath.section, shell::kCachePath.entry, shell::kCachePath.fallback));
    if (file.empty()) {
        file = defaultCachePath(applicationKey);
        settings.putString(shell::kCachePath.section, shell::kCachePath.entry, file);
    }
    return cache::SaveToFile(file, results);
}

} // namespace tarvex::app
