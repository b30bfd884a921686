#pragma once

#include "cache/ole_date.h"

#include <QString>

#include <optional>

namespace tarvex::ui {

// An OLE day count as the desktop's locale writes a date and a time of day; nothing when the
// count is no date.
[[nodiscard]] std::optional<QString> localeDateText(double oleDays);
// A result set's searched-at time as the locale writes it; "Unknown" when it is no date.
[[nodiscard]] QString searchedAtText(const cache::OleDate& date);

} // namespace tarvex::ui
