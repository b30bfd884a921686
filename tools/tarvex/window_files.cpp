#include "window_files.h"

#include "cache_file.h"
#ifdef TARVEX_HAVE_QT_SETTINGS
#include "qt_settings_store.h"
#endif

#include <cstdlib>
#include <filesystem>

namespace tarvex::cli {

std::unique_ptr<shell::SettingsStore> openSettings(const std::optional<std::string>& file) {
#ifdef TARVEX_HAVE_QT_SETTINGS
    if (file) {
        return shell::QtSettingsStore::inFile(*file);
    }
    return std::make_unique<shell::QtSettingsStore>(kWindowApplicationKey);
#else
    (void)file;
    return std::make_unique<shell::MemorySettingsStore>();
#endif
}

// The per-user data folder of the window (XDG), where its cache file lives by default.
std::string defaultCachePath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base = dataHome != nullptr && *dataHome != 0 ? dataHome
                       : home != nullptr                     ? std::string{home} + "/.local/share"
                                                             : std::string{"."};
    base.append("/Brenmoor Technologies/").append(kWindowApplicationKey).append("/");
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    return base.append(cache::kDefaultCacheFile);
}

} // namespace tarvex::cli
