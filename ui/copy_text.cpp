#include "ui/copy_text.h"

#include <algorithm>

namespace tarvex::ui {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// The row-number column is never copied.
constexpr std::string_view kNumberHeader = "#";

// The rows of `selectedRows` that are rows of a list of `rowCount` rows, ascending, each once.
std::vector<int> selectedInOrder(const std::vector<int>& selectedRows, int rowCount) {
    std::vector<int> rows;
    for (const int row : selectedRows) {
        if (row >= 0 && row < rowCount) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void appendRow(std::string& text, const CellSource& list, int row, int column) {
    const int columns = list.columnCount();
    for (int c = 0; c < columns; ++c) {
        if ((column != -1 && c != column) || list.headerText(c) == kNumberHeader) {
            continue;
        }
        text.append(list.cellText(row, c)).append("\t");
    }
    if (columns > 0) {
        text.append(kLineEnd);
    }
}

} // namespace

std::string fullTableText(const CellSource& list) {
    std::string text;
    const int rows = list.rowCount();
    for (int row = 0; row < rows; ++row) {
        appendRow(text, list, row, -1);
    }
    return text;
}

std::string selectedRowsText(const CellSource& list, const std::vector<int>& selectedRows,
                             int column) {
    std::string text;
    for (const int row : selectedInOrder(selectedRows, list.rowCount())) {
        appendRow(text, list, row, column);
    }
    return text;
}

std::string allUrlsText(const cache::CSerStringArray& urls) {
    std::string text;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        text.append(urls[i]).append(kLineEnd);
    }
    return text;
}

std::string selectedUrlsText(const cache::CSerStringArray& urls, int rowCount,
                             const std::vector<int>& selectedRows) {
    std::string text;
    for (const int row : selectedInOrder(selectedRows, rowCount)) {
        if (static_cast<std::size_t>(row) < urls.size()) {
            text.append(urls[static_cast<std::size_t>(row)]).append(kLineEnd);
        }
    }
    return text;
}

std::string browseAddress(const CellSource& list, const std::vector<int>& selectedRows) {
    const std::vector<int> rows = selectedInOrder(selectedRows, list.rowCount());
    if (rows.empty()) {
        return {};
    }
    std::string text = list.cellText(rows.back(), 1);
    if (const std::size_t end = text.find(kLineEnd); end != std::string::npos) {
        text.erase(end);
    }
    return text;
}

} // namespace tarvex::ui
