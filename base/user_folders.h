#pragma once

#include <optional>
#include <string>

namespace tarvex {

// The user's base folders as the XDG Base Directory Specification defines them: the variable
// when it holds an absolute path (a relative one is invalid and ignored), else the default under
// HOME; none when neither can be had.
[[nodiscard]] std::optional<std::string> userDataHome();   // $XDG_DATA_HOME, ~/.local/share
[[nodiscard]] std::optional<std::string> userConfigHome(); // $XDG_CONFIG_HOME, ~/.config

} // namespace tarvex
