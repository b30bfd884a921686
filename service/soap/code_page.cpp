#include "code_page.h"

#include <cstdint>

namespace tarvex {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
    } else {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    }
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// RFC 3629 4: the range of valid second bytes depends on the lead byte.
bool validSecond(unsigned lead, unsigned byte) {
    switch (lead) {
    case 0xE0:
        return byte >= 0xA0 && byte <= 0xBF;
    case 0xED:
        return byte >= 0x80 && byte <= 0x9F;
    case 0xF0:
        return byte >= 0x90 && byte <= 0xBF;
    case 0xF4:
        return byte >= 0x80 && byte <= 0x8F;
    default:
        return byte >= 0x80 && byte <= 0xBF;
    }
}

} // namespace

std::u16string codePageToUtf16(std::string_view text) {
    std::u16string out;
    appendCodePageAsUtf16(text, out);
    return out;
}

void appendCodePageAsUtf16(std::string_view text, std::u16string& out) {
    out.reserve(out.size() + text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of ASCII, the common case, go across in one step.
        std::size_t run = i;
        while (run < text.size() && static_cast<unsigned char>(text[run]) < 0x80) {
            ++run;
        }
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + (run - i));
            char16_t* target = out.data() + at;
            for (std::size_t k = i; k < run; ++k) {
                *target++ = static_cast<unsigned char>(text[k]);
            }
            i = run;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t needed = 0;
        char32_t codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            codePoint = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            codePoint = lead & 0x0FU;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            codePoint = lead & 0x07U;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        // Take continuation bytes while they fit; a broken sequence is replaced as a whole
        // (its maximal valid prefix) and reading resumes at the offending byte.
        std::size_t taken = 1;
        while (taken <= needed && i + taken < text.size()) {
            const auto byte = static_cast<unsigned char>(text[i + taken]);
            const bool ok = taken == 1 ? validSecond(lead, byte) : (byte >= 0x80 && byte <= 0xBF);
            if (!ok) {
                break;
            }
            codePoint = (codePoint << 6) | (byte & 0x3FU);
            ++taken;
        }
        if (taken == needed + 1) {
            appendUtf16(out, codePoint);
        } else {
            out.push_back(kReplacement);
        }
        i += taken;
    }
}

std::string utf16ToCodePage(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t codePoint =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8(out, codePoint);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace tarvex
