#pragma once

#include <string_view>

namespace tarvex {

// Whether two words are the same without regard to case, character by character in the
// process code page (UTF-8 here), upper-cased through the locale's mapping.
[[nodiscard]] bool sameWord(std::string_view a, std::string_view b);

} // namespace tarvex
