#pragma once

#include <string_view>

namespace tarvex::res {

// String 101: the system menu's entry for the About box.
inline constexpr std::string_view kAboutMenuText = "&About Tarvex";
// The application's title: the caption of its message boxes.
inline constexpr std::string_view kApplicationTitle = "Tarvex";

} // namespace tarvex::res
