#pragma once

#include "shell/settings_store.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::shell {

// Where settings live in this build. The build with the desktop's settings keeps them where the
// desktop keeps them, or in an INI file; one without keeps them in memory for one run. Each
// build links one definition of these.

// Whether settings reach a file that outlives the run.
[[nodiscard]] bool settingsReachFiles();
// The settings of the program named `applicationKey`, or those of the INI file `file`; in a
// build whose settings cannot reach files, settings in memory whatever is named (the caller
// says so when a file was named).
[[nodiscard]] std::unique_ptr<SettingsStore>
openSettingsStore(std::string_view applicationKey, const std::optional<std::string>& file);

} // namespace tarvex::shell
