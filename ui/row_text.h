#pragma once

#include "cache/search_result_set.h"

#include <string>

namespace tarvex::ui {

// The result list's columns: "#", "URL", "Title", "Snippet".
inline constexpr int kColumnNumber = 0;
inline constexpr int kColumnUrl = 1;
inline constexpr int kColumnTitle = 2;
inline constexpr int kColumnSnippet = 3;
inline constexpr int kResultColumnCount = 4;

// The normal mode's five-line cell of row `row`: URL, title, snippet, summary, and the directory
// title followed by the category in parentheses, joined by "\r\n"; every "&amp;" becomes "&",
// then every "()" is removed. Empty outside the lists. Always the whole text.
[[nodiscard]] std::string normalRowText(const cache::SearchResultSet& rows, int row);

// The text of one cell as the result list supplies it for drawing, copying and accessibility:
// column 0 the row number from 1; column 1 the normal-mode text, or the URL as stored in the
// spreadsheet mode; column 2 the title and column 3 the snippet as stored. Empty for a row or
// column outside the lists.
[[nodiscard]] std::string resultCellText(const cache::SearchResultSet& rows, int row, int column,
                                         bool spreadsheet);

} // namespace tarvex::ui
