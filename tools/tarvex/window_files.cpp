#include "tarvex/window_files.h"

#include <filesystem>

#ifdef TARVEX_HAVE_QT_SETTINGS
#include "shell/qt_settings_store.h"
#endif

namespace tarvex::cli {

std::unique_ptr<shell::SettingsStore> openSettings(const std::optional<std::string>& file) {
    if (file) {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path parent = fs::path{*file}.parent_path();
        if ((!parent.empty() && !fs::is_directory(parent, error)) ||
            fs::is_directory(*file, error)) {
            return nullptr;
        }
    }
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
