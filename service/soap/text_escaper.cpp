#include "soap/text_escaper.h"

#include <array>
#include <cstdio>
#include <new>

namespace tarvex::soap {
namespace {

// Longest replacement: "&#x" + six digits + ";".
constexpr std::size_t kMaxPiece = 10;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Escapes the character at `text[i]` into `out` (at least kMaxPiece bytes); returns the bytes
// written and advances `i` past the code units consumed.
std::size_t escapeOne(std::u16string_view text, std::size_t& i, EscapeMode mode, char* out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char16_t unit = text[i++];
    const auto copy = [out](std::string_view piece) {
        piece.copy(out, piece.size());
        return piece.size();
    };
    switch (unit) {
    case u'&':
        return copy("&amp;");
    case u'<':
        return copy("&lt;");
    case u'>':
        return copy("&gt;");
    case u'"':
        return mode == EscapeMode::Attribute ? copy("&quot;") : copy("\"");
    case u'\'':
        return mode == EscapeMode::Attribute ? copy("&apos;") : copy("'");
    default:
        break;
    }
    if (unit >= 0x20 && unit <= 0x7E) {
        out[0] = static_cast<char>(unit);
        return 1;
    }
    std::uint32_t value = unit;
    int digits = 4;
    if (isHighSurrogate(unit) && i < text.size() && isLowSurrogate(text[i])) {
        value =
            (static_cast<std::uint32_t>(unit) - 0xD800U) * 0x400U + (text[i] - 0xDC00U) + 0x10000U;
        digits = 6;
        ++i;
    }
    std::size_t n = copy("&#x");
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out[n++] = kHex[(value >> shift) & 0xFU];
    }
    out[n++] = ';';
    return n;
}

template <class Emit>
void escapeEach(std::u16string_view text, EscapeMode mode, Emit&& emit) {
    std::array<char, kMaxPiece> piece{};
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = escapeOne(text, i, mode, piece.data());
        emit(std::string_view{piece.data(), n});
    }
}

} // namespace

std::size_t escapedLength(std::u16string_view text, EscapeMode mode) {
    std::size_t length = 0;
    escapeEach(text, mode, [&length](std::string_view piece) { length += piece.size(); });
    return length;
}

std::string escapeXml(std::u16string_view text, EscapeMode mode) {
    std::string out;
    out.reserve(escapedLength(text, mode));
    escapeEach(text, mode, [&out](std::string_view piece) { out.append(piece); });
    return out;
}

HResult writeEscaped(OutputSink& sink, std::u16string_view text, EscapeMode mode) {
    // Escaped text goes out through a fixed buffer: no allocation, whatever the length.
    constexpr std::size_t kBufferSize = 512;
    std::array<char, kBufferSize> buffer{};
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (used + kMaxPiece > buffer.size()) {
            const HResult status = writeText(sink, std::string_view{buffer.data(), used});
            if (failed(status)) {
                return status;
            }
            used = 0;
        }
        used += escapeOne(text, i, mode, buffer.data() + used);
    }
    return used == 0 ? kOk : writeText(sink, std::string_view{buffer.data(), used});
}

} // namespace tarvex::soap
