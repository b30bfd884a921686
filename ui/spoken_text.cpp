#include "ui/spoken_text.h"

#include <array>
#include <utility>

namespace tarvex::ui {
namespace {

// The entities the result texts carry, longest match not needed: each ends with ';'.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kEntities{{
    {"&amp;", "&"},
    {"&lt;", "<"},
    {"&gt;", ">"},
    {"&quot;", "\""},
    {"&#39;", "'"},
    {"&apos;", "'"},
    {"&nbsp;", " "},
}};

std::string withoutTags(std::string_view markup) {
    std::string text;
    text.reserve(markup.size());
    std::size_t pos = 0;
    while (pos < markup.size()) {
        const std::size_t open = markup.find('<', pos);
        if (open == std::string_view::npos) {
            text.append(markup.substr(pos));
            break;
        }
        text.append(markup.substr(pos, open - pos));
        const std::size_t close = markup.find('>', open);
        if (close == std::string_view::npos) {
            // An unclosed tag hides the rest of the line when it is drawn; it is not read either.
            break;
        }
        pos = close + 1;
    }
    return text;
}

std::string decoded(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '&') {
            const std::string_view rest = text.substr(pos);
            bool matched = false;
            for (const auto& [entity, replacement] : kEntities) {
                if (rest.starts_with(entity)) {
                    result.append(replacement);
                    pos += entity.size();
                    matched = true;
                    break;
                }
            }
            if (matched) {
                continue;
            }
        }
        result.push_back(text[pos]);
        ++pos;
    }
    return result;
}

bool isC0OrDelete(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// U+0080..U+009F in UTF-8: C2 80 .. C2 9F.
bool isC1At(std::string_view text, std::size_t pos) {
    return pos + 1 < text.size() && static_cast<unsigned char>(text[pos]) == 0xC2 &&
           static_cast<unsigned char>(text[pos + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[pos + 1]) <= 0x9F;
}

// Control characters become blanks, blank runs one blank, no blank at either end.
std::string tidied(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    bool pendingBlank = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t width = 1;
        bool blank = text[pos] == ' ' || isC0OrDelete(static_cast<unsigned char>(text[pos]));
        if (isC1At(text, pos)) {
            blank = true;
            width = 2;
        }
        if (blank) {
            pendingBlank = !result.empty();
        } else {
            if (pendingBlank) {
                result.push_back(' ');
                pendingBlank = false;
            }
            result.append(text.substr(pos, width));
        }
        pos += width;
    }
    return result;
}

} // namespace

std::string spokenText(std::string_view markup) {
    return tidied(decoded(withoutTags(markup)));
}

std::string spokenParts(std::span<const std::string> parts) {
    std::string joined;
    for (const std::string& part : parts) {
        const std::string spoken = spokenText(part);
        if (spoken.empty()) {
            continue;
        }
        if (!joined.empty()) {
            joined.append(", ");
        }
        joined.append(spoken);
    }
    return joined;
}

std::string spokenResultRow(const cache::SearchResultSet& rows, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows.urls.size()) {
        return {};
    }
    const std::array<std::string, 3> parts{rows.titles.GetAtOrEmpty(row),
                                           rows.urls.GetAtOrEmpty(row),
                                           rows.snippets.GetAtOrEmpty(row)};
    return spokenParts(parts);
}

} // namespace tarvex::ui
