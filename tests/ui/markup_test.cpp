#include "ui/markup.h"

#include <gtest/gtest.h>

namespace tarvex::ui {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kMaroon{128, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kCyan{0, 255, 255};

RunColour fixed(Rgb rgb) {
    return RunColour{rgb, false};
}
const RunColour kHighlightText{Rgb{}, true};

MarkupRun run(std::string text, RunColour colour) {
    return MarkupRun{std::move(text), colour};
}

std::vector<MarkupRun> runs(std::string_view line, bool highlighted = false) {
    return markupRuns(line, highlighted ? kHighlightText : fixed(kBlack), MarkupColours{},
                      highlighted);
}

// Tags of one line.

TEST(MarkupRuns, PlainTextIsOneRunInTheStartColour) {
    EXPECT_EQ(runs("plain"), (std::vector{run("plain", fixed(kBlack))}));
    EXPECT_TRUE(runs("").empty());
}

TEST(MarkupRuns, GreenTagColoursWhatFollows) {
    EXPECT_EQ(runs("a<#00FF00>b"), (std::vector{run("a", fixed(kBlack)), run("b", fixed(kGreen))}));
    EXPECT_EQ(runs("a<#00ff00>b").back(), run("b", fixed(kGreen)));
}

TEST(MarkupRuns, ColourTagInAHighlightedRowIsCyan) {
    EXPECT_EQ(runs("a<#00FF00>b", true),
              (std::vector{run("a", kHighlightText), run("b", fixed(kCyan))}));
}

TEST(MarkupRuns, TagsThatNameNoColourChangeNothing) {
    for (const std::string_view line :
         {"a<#0F0>b", "a<#00FF0G>b", "a<#00FF000>b", "a<#!3>b", "a<#!>b", "a<#>b"}) {
        EXPECT_EQ(runs(line), (std::vector{run("a", fixed(kBlack)), run("b", fixed(kBlack))}))
            << line;
    }
}

TEST(MarkupRuns, OtherTagsAreDroppedAndEmptyRunsLeftOut) {
    EXPECT_EQ(runs("<b>x</b><br>y<>"),
              (std::vector{run("x", fixed(kBlack)), run("y", fixed(kBlack))}));
}

TEST(MarkupRuns, AnUnclosedTagEndsTheText) {
    EXPECT_EQ(runs("before<#FF0000 after"), (std::vector{run("before", fixed(kBlack))}));
    EXPECT_TRUE(runs("<b").empty());
}

TEST(MarkupRuns, PaletteTagsPickTheListColours) {
    const MarkupColours colours{Rgb{1, 2, 3}, Rgb{4, 5, 6}, Rgb{7, 8, 9}};
    EXPECT_EQ(markupRuns("<#!1>a<#!2>b<#!0>c", fixed(kBlue), colours, false),
              (std::vector{run("a", fixed(Rgb{4, 5, 6})), run("b", fixed(Rgb{7, 8, 9})),
                           run("c", fixed(Rgb{1, 2, 3}))}));
}

TEST(MarkupRuns, PaletteTagsInAHighlightedRow) {
    EXPECT_EQ(runs("<#!1>a<#!0>b<#!2>c<#!x>d", true),
              (std::vector{run("a", fixed(kCyan)), run("b", kHighlightText), run("c", fixed(kCyan)),
                           run("d", fixed(kCyan))}));
}

// The lines of a result cell.

const std::string kCell =
    "http://a/\r\nA <b>bold</b> title\r\nsn <b>ip</b> pet\r\nsum <b>m</b>\r\nDir <b>x</b> (Cat)";

TEST(ResultCellLines, NormalRowFontsAndColours) {
    const auto lines = resultCellLines(kCell, false);
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[0], (CellLine{LineFont::Underline, {run("http://a/", fixed(kBlue))}}));
    EXPECT_EQ(lines[1].font, LineFont::Bold);
    EXPECT_EQ(lines[1].runs, (std::vector{run("A ", fixed(kBlack)), run("bold", fixed(kRed)),
                                          run(" title", fixed(kBlack))}));
    EXPECT_EQ(lines[2].font, LineFont::Base);
    EXPECT_EQ(lines[2].runs, (std::vector{run("sn ", fixed(kMaroon)), run("ip", fixed(kRed)),
                                          run(" pet", fixed(kMaroon))}));
    EXPECT_EQ(lines[3],
              (CellLine{LineFont::Base, {run("sum ", fixed(kBlack)), run("m", fixed(kRed))}}));
    // The last line keeps its tags: bold there is dropped, not red.
    EXPECT_EQ(lines[4], (CellLine{LineFont::Italic,
                                  {run("Dir ", fixed(kBlack)), run("x", fixed(kBlack)),
                                   run(" (Cat)", fixed(kBlack))}}));
}

TEST(ResultCellLines, BoldEndInTheUrlLineTurnsBlack) {
    const auto lines = resultCellLines("a<b>b</b>c\r\nlast", false);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].runs, (std::vector{run("a", fixed(kBlue)), run("b", fixed(kRed)),
                                          run("c", fixed(kBlack))}));
    EXPECT_EQ(lines[1], (CellLine{LineFont::Base, {run("last", fixed(kBlack))}}));
}

TEST(ResultCellLines, HighlightedRowDrawsEveryLineInTheHighlightTextColour) {
    const auto lines = resultCellLines(kCell, true);
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[2], (CellLine{LineFont::Base,
                                  {run("sn ", kHighlightText), run("ip", kHighlightText),
                                   run(" pet", kHighlightText)}}));
    for (const CellLine& line : lines) {
        for (const MarkupRun& piece : line.runs) {
            EXPECT_EQ(piece.colour, kHighlightText) << piece.text;
        }
    }
    EXPECT_EQ(lines[0].font, LineFont::Underline);
    EXPECT_EQ(lines[4].font, LineFont::Italic);
}

TEST(ResultCellLines, HighlightModeZeroDrawsLikeAnUnselectedRow) {
    EXPECT_EQ(resultCellLines(kCell, true, 0), resultCellLines(kCell, false));
}

TEST(ResultCellLines, ACellWithoutLineBreakIsOneBaseLine) {
    EXPECT_EQ(resultCellLines("A <b>bold</b> title", false),
              (std::vector{CellLine{LineFont::Base,
                                    {run("A ", fixed(kBlack)), run("bold", fixed(kBlack)),
                                     run(" title", fixed(kBlack))}}}));
    EXPECT_EQ(resultCellLines("7", true),
              (std::vector{CellLine{LineFont::Base, {run("7", kHighlightText)}}}));
}

TEST(ResultCellLines, OnlyAFifthLastLineIsItalic) {
    EXPECT_EQ(resultCellLines("1\r\n2\r\n3\r\n4", false).back().font, LineFont::Base);
    const auto six = resultCellLines("1\r\n2\r\n3\r\n4\r\n<b>5</b>\r\n6", false);
    ASSERT_EQ(six.size(), 6U);
    EXPECT_EQ(six[4], (CellLine{LineFont::Base, {run("5", fixed(kRed))}}));
    EXPECT_EQ(six[5].font, LineFont::Base);
}

TEST(ResultCellLines, EmptyDirectoryLineIsASingleBlank) {
    const auto lines = resultCellLines("u\r\nt\r\ns\r\nm\r\n ", false);
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[4], (CellLine{LineFont::Italic, {run(" ", fixed(kBlack))}}));
}

TEST(ResultCellLines, EmptyLinesKeepTheirPlace) {
    const auto lines = resultCellLines("\r\n\r\nx", false);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_TRUE(lines[0].runs.empty());
    EXPECT_TRUE(lines[1].runs.empty());
    EXPECT_EQ(lines[2].runs, (std::vector{run("x", fixed(kBlack))}));
}

} // namespace
} // namespace tarvex::ui
