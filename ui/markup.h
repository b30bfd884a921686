#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::ui {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour a run is drawn in: a fixed value, or the desktop's highlight text colour, which only
// the painter knows.
struct RunColour {
    Rgb rgb;
    bool highlightText = false;
    friend bool operator==(const RunColour&, const RunColour&) = default;
};

// A piece of one line drawn in one colour, left to right after the piece before it.
struct MarkupRun {
    std::string text;
    RunColour colour;
    friend bool operator==(const MarkupRun&, const MarkupRun&) = default;
};

// The list's colours that tags can pick.
struct MarkupColours {
    Rgb text{0, 0, 0};       // also palette colour 0
    Rgb palette1{255, 0, 0}; // "<#!1>"
    Rgb palette2{128, 0, 0}; // "<#!2>"
};

// The runs of one line of mark-up, drawn from colour `start`. "<#RRGGBB>" sets a colour
// (cyan when highlighted), "<#!0>", "<#!1>", "<#!2>" pick the list's colours, other tags are
// dropped; a "<" without a closing ">" ends the visible text. Empty runs are left out.
[[nodiscard]] std::vector<MarkupRun> markupRuns(std::string_view line, RunColour start,
                                                const MarkupColours& colours, bool highlighted);

// The fonts of a result row's lines.
enum class LineFont { Base, Underline, Bold, Italic };

// One line of a result-list cell: drawn with its top at row top + index × (row height / 5).
struct CellLine {
    LineFont font = LineFont::Base;
    std::vector<MarkupRun> runs;
    friend bool operator==(const CellLine&, const CellLine&) = default;
};

// The lines of a result-list cell. A text with "\r\n" is split there: URL (underlined, blue),
// title (bold, black), snippet (base, maroon), summary (base, black) and the last line (italic
// when it is the fifth, else base; black). On lines before the last of a row that is not
// highlighted, "<b>" turns red and "</b>" back to the line's colour; a highlighted row draws
// every line in the highlight text colour without that replacement. A text without "\r\n" is one
// line in the base font, black or the highlight text colour, tags not replaced.
// `highlightMode` 0 draws highlighted rows like the others.
[[nodiscard]] std::vector<CellLine> resultCellLines(std::string_view cellText, bool highlighted,
                                                    int highlightMode = 1);

} // namespace tarvex::ui
