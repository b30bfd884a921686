#pragma once

#include "cache/search_result_set.h"

#include <span>
#include <string>
#include <string_view>

namespace tarvex::ui {

// What a screen reader is given for a line of mark-up: every tag ("<b>", "<br>", "<#FF0000>", any
// "<...>") removed, and a "<" without a closing ">" ends the text as it ends the drawn line; then
// "&amp;", "&lt;", "&gt;", "&quot;", "&#39;", "&apos;" and "&nbsp;" decoded in one pass (a decoded
// "&" starts no second entity); control characters (C0, DEL, C1) become blanks, runs of blanks
// one blank, and the ends are trimmed. Linear in the length of `markup`.
[[nodiscard]] std::string spokenText(std::string_view markup);

// The parts' spoken texts joined by ", ", the empty ones left out.
[[nodiscard]] std::string spokenParts(std::span<const std::string> parts);

// One result row for a screen reader: title, URL and snippet. Empty outside the lists.
[[nodiscard]] std::string spokenResultRow(const cache::SearchResultSet& rows, int row);

} // namespace tarvex::ui
