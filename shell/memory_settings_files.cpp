#include "shell/settings_files.h"

namespace tarvex::shell {

bool settingsReachFiles() {
    return false;
}

std::unique_ptr<SettingsStore> openSettingsStore(std::string_view /*applicationKey*/,
                                                 const std::optional<std::string>& /*file*/) {
    return std::make_unique<MemorySettingsStore>();
}

} // namespace tarvex::shell
