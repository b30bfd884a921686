#pragma once

// What every page an upstream reader accepts must hold, for the readers' fuzz targets.
#include "service/upstream_page.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::fuzz {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
inline bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t point = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07U;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0FU;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1FU;
        } else if (lead >= 0x80) {
            return false;
        }
        if (length > text.size() - i) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0U) != 0x80U) {
                return false;
            }
            point = (point << 6) | (next & 0x3FU);
        }
        if ((length == 3 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) ||
            (length == 4 && (point < 0x10000 || point > 0x10FFFF))) {
            return false;
        }
        i += length;
    }
    return true;
}

inline bool fieldFits(const std::string& text) {
    return text.size() <= tarvex::search::kMaxUpstreamTextBytes && isUtf8(text) &&
           (text.empty() || (!isSpace(text.front()) && !isSpace(text.back())));
}

// A list within the cap whose strings fit and are not empty.
inline bool listFits(const std::vector<std::string>& list) {
    if (list.size() > tarvex::search::kMaxUpstreamItems) {
        return false;
    }
    for (const std::string& text : list) {
        if (text.empty() || !fieldFits(text)) {
            return false;
        }
    }
    return true;
}

} // namespace tarvex::fuzz
