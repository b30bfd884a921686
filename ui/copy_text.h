#pragma once

#include "cache/ser_string_array.h"

#include <string>
#include <vector>

namespace tarvex::ui {

// A list as the copy commands read it: its header texts and the text of each cell.
class CellSource {
public:
    virtual ~CellSource() = default;
    [[nodiscard]] virtual int rowCount() const = 0;
    [[nodiscard]] virtual int columnCount() const = 0;
    [[nodiscard]] virtual std::string headerText(int column) const = 0;
    [[nodiscard]] virtual std::string cellText(int row, int column) const = 0;
};

// Every row: each column but the one headed exactly "#", its text and "\t"; then "\r\n"
// (only when the list has columns).
[[nodiscard]] std::string fullTableText(const CellSource& list);
// The same for the selected rows in ascending order (any order, duplicates and rows outside the
// list in `selectedRows` are tolerated), and only `column` when it is not -1.
[[nodiscard]] std::string selectedRowsText(const CellSource& list,
                                           const std::vector<int>& selectedRows, int column = -1);
// Every URL followed by "\r\n".
[[nodiscard]] std::string allUrlsText(const cache::CSerStringArray& urls);
// The URLs whose index is a row of the list (`rowCount`) and selected, each followed by "\r\n".
[[nodiscard]] std::string selectedUrlsText(const cache::CSerStringArray& urls, int rowCount,
                                           const std::vector<int>& selectedRows);
// Browse: the column-1 text of the selected row with the highest index, up to its first
// "\r\n"; empty when no row is selected.
[[nodiscard]] std::string browseAddress(const CellSource& list,
                                        const std::vector<int>& selectedRows);

} // namespace tarvex::ui
