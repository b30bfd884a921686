#include "ui/markup.h"

#include "base/ascii_case.h"

#include <optional>

namespace tarvex::ui {
namespace {

// Tags may pick this colour for a highlighted row, where the usual colours would not show.
constexpr Rgb kHighlightedTagColour{0, 255, 255};

constexpr RunColour fixed(Rgb rgb) {
    return RunColour{rgb, false};
}
constexpr RunColour kHighlightTextColour{Rgb{}, true};

std::optional<std::uint8_t> hexByte(char high, char low) {
    const int h = asciiHexValue(high);
    const int l = asciiHexValue(low);
    if (h < 0 || l < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(h * 16 + l);
}

// The colour after `tag` (the text between "<" and ">"); `colour` is kept when the tag names none.
RunColour applyTag(std::string_view tag, RunColour colour, const MarkupColours& colours,
                   bool highlighted) {
    if (tag.empty() || tag.front() != '#') {
        return colour;
    }
    if (tag.size() == 7) {
        const auto red = hexByte(tag[1], tag[2]);
        const auto green = hexByte(tag[3], tag[4]);
        const auto blue = hexByte(tag[5], tag[6]);
        if (!red || !green || !blue) {
            return colour;
        }
        return fixed(highlighted ? kHighlightedTagColour : Rgb{*red, *green, *blue});
    }
    if (tag.size() == 3 && tag[1] == '!') {
        if (tag[2] == '0') {
            return highlighted ? kHighlightTextColour : fixed(colours.text);
        }
        if (highlighted) {
            return fixed(kHighlightedTagColour);
        }
        if (tag[2] == '1') {
            return fixed(colours.palette1);
        }
        if (tag[2] == '2') {
            return fixed(colours.palette2);
        }
    }
    return colour;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    std::size_t pos = 0;
    while (true) {
        const std::size_t found = text.find(from, pos);
        if (found == std::string_view::npos) {
            break;
        }
        result.append(text.substr(pos, found - pos)).append(to);
        pos = found + from.size();
    }
    result.append(text.substr(pos));
    return result;
}

struct LineStyle {
    LineFont font;
    Rgb colour;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kUrlBlue{0, 0, 255};
constexpr Rgb kSnippetMaroon{128, 0, 0};
constexpr std::size_t kSnippetLine = 2;
// URL, title, snippet, summary, then the directory line.
constexpr std::size_t kNormalLineCount = 5;

LineStyle lineStyle(std::size_t index, std::size_t lineCount) {
    if (index + 1 == lineCount) {
        return {lineCount == kNormalLineCount ? LineFont::Italic : LineFont::Base, kBlack};
    }
    switch (index) {
    case 0:
        return {LineFont::Underline, kUrlBlue};
    case 1:
        return {LineFont::Bold, kBlack};
    case kSnippetLine:
        return {LineFont::Base, kSnippetMaroon};
    default:
        return {LineFont::Base, kBlack};
    }
}

} // namespace

std::vector<MarkupRun> markupRuns(std::string_view line, RunColour start,
                                  const MarkupColours& colours, bool highlighted) {
    std::vector<MarkupRun> runs;
    RunColour colour = start;
    const auto addRun = [&](std::string_view text) {
        if (!text.empty()) {
            runs.push_back(MarkupRun{std::string{text}, colour});
        }
    };
    while (!line.empty()) {
        const std::size_t open = line.find('<');
        addRun(line.substr(0, open));
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = line.find('>', open + 1);
        if (close == std::string_view::npos) {
            break;
        }
        colour = applyTag(line.substr(open + 1, close - open - 1), colour, colours, highlighted);
        line.remove_prefix(close + 1);
    }
    return runs;
}

std::vector<CellLine> resultCellLines(std::string_view cellText, bool highlighted,
                                      int highlightMode) {
    const bool drawHighlighted = highlighted && highlightMode != 0;
    std::vector<std::string_view> texts;
    for (std::size_t pos = 0;;) {
        const std::size_t end = cellText.find("\r\n", pos);
        if (end == std::string_view::npos) {
            texts.push_back(cellText.substr(pos));
            break;
        }
        texts.push_back(cellText.substr(pos, end - pos));
        pos = end + 2;
    }

    const MarkupColours colours;
    std::vector<CellLine> lines;
    lines.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const LineStyle style = lineStyle(i, texts.size());
        CellLine line;
        line.font = style.font;
        if (drawHighlighted) {
            line.runs = markupRuns(texts[i], kHighlightTextColour, colours, true);
        } else if (i + 1 == texts.size()) {
            // The last line keeps its tags, so bold mark-up there is simply dropped.
            line.runs = markupRuns(texts[i], fixed(style.colour), colours, false);
        } else {
            // Bold runs turn red; their end returns to the line's own colour.
            const std::string_view back = i == kSnippetLine ? "<#800000>" : "<#000000>";
            const std::string marked =
                replaceAll(replaceAll(texts[i], "<b>", "<#FF0000>"), "</b>", back);
            line.runs = markupRuns(marked, fixed(style.colour), colours, false);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace tarvex::ui
