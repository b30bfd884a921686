#pragma once

#include <string>

namespace tarvex::ui {

// Puts the text (UTF-8, the process code page) on the desktop's text clipboard.
bool CopyTextToClipboard(const std::string& text);

} // namespace tarvex::ui
