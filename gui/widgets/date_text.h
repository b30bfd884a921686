#pragma once

#include <QString>

#include <optional>

namespace tarvex::ui {

// An OLE day count as the desktop's locale writes a date and a time of day; nothing when the
// count is no date.
[[nodiscard]] std::optional<QString> localeDateText(double oleDays);

} // namespace tarvex::ui
