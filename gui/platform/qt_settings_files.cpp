#include "gui/platform/qt_settings_store.h"
#include "shell/settings_files.h"

namespace tarvex::shell {

bool settingsReachFiles() {
    return true;
}

std::unique_ptr<SettingsStore> openSettingsStore(std::string_view applicationKey,
                                                 const std::optional<std::string>& file) {
    if (file) {
        return QtSettingsStore::inFile(*file);
    }
    return std::make_unique<QtSettingsStore>(std::string{applicationKey});
}

} // namespace tarvex::shell
