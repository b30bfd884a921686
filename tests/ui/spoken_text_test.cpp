// What a screen reader hears of a row: mark-up stripped, entities decoded, no control characters.
#include "ui/spoken_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace tarvex::ui {
namespace {

struct SpokenCase {
    const char* markup;
    const char* spoken;
};

// Tags of every kind go; an unclosed tag ends the text as it ends the drawn line.
constexpr std::array<SpokenCase, 6> kTagCases{{
    {"A <b>bold</b> word", "A bold word"},
    {"line one<br>line two", "line oneline two"},
    {"<#FF0000>red<#!0> and <font color=x>more</font>", "red and more"},
    {"<>empty tag", "empty tag"},
    {"cut <here and never closed", "cut"},
    {"a > b", "a > b"},
}};

TEST(SpokenText, RemovesEveryTag) {
    for (const SpokenCase& test : kTagCases) {
        EXPECT_EQ(spokenText(test.markup), test.spoken) << test.markup;
    }
}

constexpr std::array<SpokenCase, 6> kEntityCases{{
    {"T &amp; U", "T & U"},
    {"&lt;b&gt; is a tag", "<b> is a tag"},
    {"&quot;quoted&quot; and it&#39;s", "\"quoted\" and it's"},
    {"&amp;lt; stays an entity text", "&lt; stays an entity text"},
    {"&unknown; & alone &amp", "&unknown; & alone &amp"},
    {"a&nbsp;&nbsp;b", "a b"},
}};

TEST(SpokenText, DecodesEntitiesOnce) {
    for (const SpokenCase& test : kEntityCases) {
        EXPECT_EQ(spokenText(test.markup), test.spoken) << test.markup;
    }
}

TEST(SpokenText, ControlCharactersBecomeSingleBlanksAndTheEndsAreTrimmed) {
    EXPECT_EQ(spokenText("\r\n  one\r\ntwo\t\x01three\x7F \n"), "one two three");
    EXPECT_EQ(spokenText("C1\xC2\x85next \xC2\xA0kept"), "C1 next \xC2\xA0kept");
    EXPECT_EQ(spokenText(std::string{"nul\0inside", 10}), "nul inside");
    EXPECT_EQ(spokenText("\r\n\t"), "");
}

TEST(SpokenText, PartsAreJoinedWithoutTheEmptyOnes) {
    const std::array<std::string, 4> parts{"<b>first</b>", "", "<br>", " second "};
    EXPECT_EQ(spokenParts(parts), "first, second");
}

TEST(SpokenText, AResultRowIsTitleUrlAndSnippet) {
    cache::SearchResultSet rows;
    rows.urls = {"http://a.example/?x=1&amp;y=2", "http://b.example/"};
    rows.titles = {"A <b>title</b> &amp; more", ""};
    rows.snippets = {"the\r\nsnippet &lt;code&gt;", "only url"};
    rows.summaries = {"summary", ""};
    EXPECT_EQ(spokenResultRow(rows, 0),
              "A title & more, http://a.example/?x=1&y=2, the snippet <code>");
    EXPECT_EQ(spokenResultRow(rows, 1), "http://b.example/, only url");
    EXPECT_EQ(spokenResultRow(rows, 2), "");
    EXPECT_EQ(spokenResultRow(rows, -1), "");
}

TEST(SpokenText, LongRunsOfOpenersAndAmpersandsAreReadWhole) {
    // A quarter megabyte of openers without a closer, and of lone ampersands.
    const std::string openers(1 << 18, '<');
    EXPECT_EQ(spokenText(openers), "");
    const std::string ampersands(1 << 18, '&');
    EXPECT_EQ(spokenText(ampersands).size(), ampersands.size());
}

} // namespace
} // namespace tarvex::ui
