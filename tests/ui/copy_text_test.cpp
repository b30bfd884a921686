#include "ui/copy_text.h"

#include "ui/row_text.h"

#include <gtest/gtest.h>

namespace tarvex::ui {
namespace {

// The result list's four columns over a result set, in either mode.
class ResultList final : public CellSource {
public:
    ResultList(cache::SearchResultSet rows, bool spreadsheet)
        : m_rows(std::move(rows)), m_spreadsheet(spreadsheet) {}
    [[nodiscard]] int rowCount() const override { return static_cast<int>(m_rows.urls.size()); }
    [[nodiscard]] int columnCount() const override { return kResultColumnCount; }
    [[nodiscard]] std::string headerText(int column) const override {
        static const char* const kHeaders[] = {"#", "URL", "Title", "Snippet"};
        return kHeaders[column];
    }
    [[nodiscard]] std::string cellText(int row, int column) const override {
        return resultCellText(m_rows, row, column, m_spreadsheet);
    }

private:
    cache::SearchResultSet m_rows;
    bool m_spreadsheet;
};

// A list with no columns at all, or with the given header texts and "r,c" cells.
class GridList final : public CellSource {
public:
    GridList(int rows, std::vector<std::string> headers)
        : m_rows(rows), m_headers(std::move(headers)) {}
    [[nodiscard]] int rowCount() const override { return m_rows; }
    [[nodiscard]] int columnCount() const override { return static_cast<int>(m_headers.size()); }
    [[nodiscard]] std::string headerText(int column) const override { return m_headers[column]; }
    [[nodiscard]] std::string cellText(int row, int column) const override {
        return std::to_string(row) + "," + std::to_string(column);
    }

private:
    int m_rows;
    std::vector<std::string> m_headers;
};

cache::SearchResultSet results(int count) {
    cache::SearchResultSet rows;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        rows.urls.add("http://r" + n + "/?a&amp;b");
        rows.titles.add("T<b>" + n + "</b>");
        rows.snippets.add("S &amp; " + n);
        rows.summaries.add("M" + n);
        rows.directoryTitles.add("D" + n);
        rows.categoryNames.add(i == 0 ? "" : "C" + n);
    }
    return rows;
}

// Full Table and Selected Rows.

TEST(FullTableText, OneResultInTheNormalMode) {
    EXPECT_EQ(fullTableText(ResultList{results(1), false}),
              "http://r0/?a&b\r\nT<b>0</b>\r\nS & 0\r\nM0\r\nD0 \tT<b>0</b>\tS &amp; 0\t\r\n");
}

TEST(FullTableText, OneResultInTheSpreadsheetMode) {
    EXPECT_EQ(fullTableText(ResultList{results(1), true}),
              "http://r0/?a&amp;b\tT<b>0</b>\tS &amp; 0\t\r\n");
}

TEST(FullTableText, EmptyListGivesEmptyText) {
    EXPECT_EQ(fullTableText(ResultList{results(0), false}), "");
}

TEST(FullTableText, OnlyTheHeaderExactlyHashIsSkipped) {
    EXPECT_EQ(fullTableText(GridList{2, {"# ", "#", "x"}}), "0,0\t0,2\t\r\n1,0\t1,2\t\r\n");
}

TEST(FullTableText, NoColumnsGiveNoLineEnds) {
    EXPECT_EQ(fullTableText(GridList{3, {}}), "");
}

TEST(SelectedRowsText, AscendingEachOnceOnlyRowsOfTheList) {
    EXPECT_EQ(selectedRowsText(ResultList{results(3), true}, {2, 0, 2, 7, -1}),
              "http://r0/?a&amp;b\tT<b>0</b>\tS &amp; 0\t\r\n"
              "http://r2/?a&amp;b\tT<b>2</b>\tS &amp; 2\t\r\n");
}

TEST(SelectedRowsText, OneColumn) {
    EXPECT_EQ(selectedRowsText(GridList{3, {"#", "a", "b"}}, {1, 2}, 2), "1,2\t\r\n2,2\t\r\n");
    EXPECT_EQ(selectedRowsText(GridList{3, {"#", "a", "b"}}, {1}, 0), "\r\n");
}

TEST(SelectedRowsText, NothingSelectedGivesEmptyText) {
    EXPECT_EQ(selectedRowsText(ResultList{results(3), false}, {}), "");
}

// All URLs and Selected URLs.

TEST(UrlsText, AllUrlsAsStoredEachWithLineEnd) {
    EXPECT_EQ(allUrlsText(results(2).urls), "http://r0/?a&amp;b\r\nhttp://r1/?a&amp;b\r\n");
    EXPECT_EQ(allUrlsText(cache::CSerStringArray{}), "");
}

TEST(UrlsText, SelectedUrlsInIndexOrder) {
    const auto urls = cache::CSerStringArray{"u0", "u1", "u2", "u3"};
    EXPECT_EQ(selectedUrlsText(urls, 4, {3, 1}), "u1\r\nu3\r\n");
}

TEST(UrlsText, SelectedUrlsWithNothingSelectedIsEmpty) {
    EXPECT_EQ(selectedUrlsText(cache::CSerStringArray{"u0", "u1"}, 2, {}), "");
}

TEST(UrlsText, SelectedUrlsOnlyForRowsOfTheList) {
    const auto urls = cache::CSerStringArray{"u0", "u1", "u2"};
    EXPECT_EQ(selectedUrlsText(urls, 2, {0, 2}), "u0\r\n");
    EXPECT_EQ(selectedUrlsText(urls, 5, {4, 1, 1}), "u1\r\n");
}

// Browse.

TEST(BrowseAddress, HighestSelectedRowUpToTheFirstLineEnd) {
    EXPECT_EQ(browseAddress(ResultList{results(4), false}, {3, 1, 2}), "http://r3/?a&b");
}

TEST(BrowseAddress, SpreadsheetModeTakesTheStoredUrl) {
    EXPECT_EQ(browseAddress(ResultList{results(2), true}, {0}), "http://r0/?a&amp;b");
}

TEST(BrowseAddress, NothingSelectedOrOutsideGivesNothing) {
    EXPECT_EQ(browseAddress(ResultList{results(2), false}, {}), "");
    EXPECT_EQ(browseAddress(ResultList{results(2), false}, {5}), "");
}

} // namespace
} // namespace tarvex::ui
