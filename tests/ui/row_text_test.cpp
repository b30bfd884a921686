#include "ui/row_text.h"

#include <gtest/gtest.h>

namespace tarvex::ui {
namespace {

cache::SearchResultSet oneResult() {
    cache::SearchResultSet rows;
    rows.urls = {"http://a.example/"};
    rows.titles = {"A <b>title</b>"};
    rows.snippets = {"the snippet"};
    rows.summaries = {"summary"};
    rows.directoryTitles = {"Dir"};
    rows.categoryNames = {"Top/Cat"};
    return rows;
}

// The five-line cell of the normal mode.

TEST(NormalRowText, JoinsTheFiveLinesWithTheCategoryInParentheses) {
    EXPECT_EQ(normalRowText(oneResult(), 0),
              "http://a.example/\r\nA <b>title</b>\r\nthe snippet\r\nsummary\r\nDir (Top/Cat)");
}

TEST(NormalRowText, EmptyDirectoryAndCategoryLeaveASingleBlank) {
    auto rows = oneResult();
    rows.directoryTitles = {""};
    rows.categoryNames = {""};
    EXPECT_EQ(normalRowText(rows, 0),
              "http://a.example/\r\nA <b>title</b>\r\nthe snippet\r\nsummary\r\n ");
}

TEST(NormalRowText, AmpersandEntityBecomesAmpersandInEveryField) {
    cache::SearchResultSet rows;
    rows.urls = {"u?a=1&amp;b=2"};
    rows.titles = {"T &amp; U"};
    rows.snippets = {"&amp;"};
    rows.summaries = {"&quot;q&quot;"};
    rows.directoryTitles = {"D&amp;"};
    rows.categoryNames = {"&lt;c"};
    EXPECT_EQ(normalRowText(rows, 0), "u?a=1&b=2\r\nT & U\r\n&\r\n&quot;q&quot;\r\nD& (&lt;c)");
}

TEST(NormalRowText, ReplacementsRunOnceFromLeftToRight) {
    cache::SearchResultSet rows;
    rows.urls = {"&amp;amp;"};
    rows.titles = {"(())"};
    rows.snippets = {"(&amp;)"};
    rows.summaries = {"&am()p;"};
    rows.directoryTitles = {""};
    rows.categoryNames = {"x"};
    // "&amp;amp;" is one entity followed by "amp;"; "(())" loses its inner pair only; the entity
    // goes first, so "(&amp;)" becomes "(&)" and stays, and "&am()p;" becomes "&amp;" too late.
    EXPECT_EQ(normalRowText(rows, 0), "&amp;\r\n()\r\n(&)\r\n&amp;\r\n (x)");
}

TEST(NormalRowText, EmptyOutsideTheLists) {
    const auto rows = oneResult();
    EXPECT_EQ(normalRowText(rows, 1), "");
    EXPECT_EQ(normalRowText(rows, -1), "");
    EXPECT_EQ(normalRowText(cache::SearchResultSet{}, 0), "");
}

TEST(NormalRowText, AShortParallelListGivesAnEmptyField) {
    auto rows = oneResult();
    rows.summaries.clear();
    rows.categoryNames.clear();
    EXPECT_EQ(normalRowText(rows, 0),
              "http://a.example/\r\nA <b>title</b>\r\nthe snippet\r\n\r\nDir ");
}

// The cells as the list supplies them.

TEST(ResultCellText, NumberColumnCountsFromOne) {
    cache::SearchResultSet rows;
    for (int i = 0; i < 12; ++i) {
        rows.urls.add("u" + std::to_string(i));
    }
    EXPECT_EQ(resultCellText(rows, 0, kColumnNumber, false), "1");
    EXPECT_EQ(resultCellText(rows, 11, kColumnNumber, true), "12");
    EXPECT_EQ(resultCellText(rows, 12, kColumnNumber, false), "");
}

TEST(ResultCellText, UrlColumnDependsOnTheMode) {
    auto rows = oneResult();
    rows.urls = {"http://a.example/?x=1&amp;y=2"};
    EXPECT_EQ(resultCellText(rows, 0, kColumnUrl, false), normalRowText(rows, 0));
    EXPECT_EQ(resultCellText(rows, 0, kColumnUrl, true), "http://a.example/?x=1&amp;y=2");
}

TEST(ResultCellText, TitleAndSnippetAreAsStoredInBothModes) {
    auto rows = oneResult();
    rows.snippets = {"a &amp; <b>b</b> ()"};
    for (const bool spreadsheet : {false, true}) {
        EXPECT_EQ(resultCellText(rows, 0, kColumnTitle, spreadsheet), "A <b>title</b>");
        EXPECT_EQ(resultCellText(rows, 0, kColumnSnippet, spreadsheet), "a &amp; <b>b</b> ()");
    }
}

TEST(ResultCellText, EmptyForAColumnOrRowOutside) {
    const auto rows = oneResult();
    EXPECT_EQ(resultCellText(rows, 0, kResultColumnCount, false), "");
    EXPECT_EQ(resultCellText(rows, 0, -1, true), "");
    EXPECT_EQ(resultCellText(rows, 1, kColumnTitle, true), "");
    EXPECT_EQ(resultCellText(rows, -1, kColumnUrl, false), "");
}

} // namespace
} // namespace tarvex::ui
