#include "window_files.h"

#ifdef TARVEX_HAVE_QT_SETTINGS
#include "qt_settings_store.h"
#endif

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

} // namespace tarvex::cli
