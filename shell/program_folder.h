#pragma once

#include <string>

namespace tarvex::shell {

// The full path of the running executable; empty when it cannot be had.
[[nodiscard]] std::string executablePath();
// The folder of the running executable, ending with a separator; "/" when it cannot be had.
[[nodiscard]] std::string programFolder();
// The executable's file name without its extension: the application key of the settings.
[[nodiscard]] std::string applicationKey();

} // namespace tarvex::shell
