#include "base/user_folders.h"

#include <cstdlib>

namespace tarvex {
namespace {

std::optional<std::string> baseFolder(const char* variable, const char* underHome) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return std::string{value};
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        std::string folder{home};
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder.append(underHome);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> userDataHome() {
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

std::optional<std::string> userConfigHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

} // namespace tarvex
