#include "tarvex/window_files.h"

#include "shell/settings_files.h"

#include <filesystem>

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
    return shell::openSettingsStore(kWindowApplicationKey, file);
}

} // namespace tarvex::cli
