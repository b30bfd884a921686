#pragma once

#include "shell/settings_store.h"

#include <memory>
#include <optional>
#include <string>

namespace tarvex::cli {

// The window's application key: the tool shares the window's settings and cache.
inline constexpr const char* kWindowApplicationKey = "dunsk";

// The window's settings, or those of an INI file when one is named. Null when the named file's
// folder does not exist or the file is a folder (no folder is made up for settings).
[[nodiscard]] std::unique_ptr<shell::SettingsStore>
openSettings(const std::optional<std::string>& file);

} // namespace tarvex::cli
