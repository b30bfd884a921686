#include "ui/row_text.h"

namespace tarvex::ui {
namespace {

// Replaces every `from` by `to` in one left-to-right pass: text produced by a replacement is not
// looked at again.
std::string replaceAll(const std::string& text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t found = text.find(from, pos);
        if (found == std::string::npos) {
            break;
        }
        result.append(text, pos, found - pos).append(to);
        pos = found + from.size();
    }
    result.append(text, pos, std::string::npos);
    return result;
}

bool isRow(const cache::SearchResultSet& rows, int row) {
    return row >= 0 && static_cast<std::size_t>(row) < rows.urls.size();
}

} // namespace

std::string normalRowText(const cache::SearchResultSet& rows, int row) {
    if (!isRow(rows, row)) {
        return {};
    }
    std::string text = rows.urls.GetAtOrEmpty(row);
    text.append("\r\n").append(rows.titles.GetAtOrEmpty(row));
    text.append("\r\n").append(rows.snippets.GetAtOrEmpty(row));
    text.append("\r\n").append(rows.summaries.GetAtOrEmpty(row));
    text.append("\r\n").append(rows.directoryTitles.GetAtOrEmpty(row));
    text.append(" (").append(rows.categoryNames.GetAtOrEmpty(row)).append(")");
    // An empty category leaves "()" behind, which goes with the other empty pairs.
    return replaceAll(replaceAll(text, "&amp;", "&"), "()", "");
}

std::string resultCellText(const cache::SearchResultSet& rows, int row, int column,
                           bool spreadsheet) {
    if (!isRow(rows, row)) {
        return {};
    }
    switch (column) {
    case kColumnNumber:
        return std::to_string(row + 1);
    case kColumnUrl:
        return spreadsheet ? rows.urls.GetAtOrEmpty(row) : normalRowText(rows, row);
    case kColumnTitle:
        return rows.titles.GetAtOrEmpty(row);
    case kColumnSnippet:
        return rows.snippets.GetAtOrEmpty(row);
    default:
        return {};
    }
}

} // namespace tarvex::ui
