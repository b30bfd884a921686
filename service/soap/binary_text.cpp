#include "soap/binary_text.h"

#include "base/ascii_case.h"

#include <array>

namespace tarvex::soap {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<std::uint8_t, 128> makeDecodeTable() {
    std::array<std::uint8_t, 128> table{};
    for (auto& value : table) {
        value = kNotInAlphabet;
    }
    for (std::uint8_t i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    }
    return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

std::uint8_t sextet(char16_t c) {
    return c < 128 ? kDecodeTable[c] : kNotInAlphabet;
}

int hexValue(char16_t c) {
    return asciiHexValue(c);
}

} // namespace

std::size_t base64ScratchSize(std::size_t bytes) {
    std::size_t chars = (4 * bytes) / 3 + bytes % 3;
    chars = (chars + 3) / 4 * 4;
    return chars + 2 * (chars / kBase64LineLength) + 2;
}

std::size_t base64Encode(const std::uint8_t* data, std::size_t bytes, char* out) {
    std::size_t n = 0;
    std::size_t lineChars = 0;
    std::size_t charsLeft = (bytes + 2) / 3 * 4;
    // A full line ends with CR LF, except the last one, unless the bytes fill whole lines.
    const bool breakLastLine = bytes % 57 == 0;
    const auto put = [&](char c) {
        out[n++] = c;
        --charsLeft;
        if (++lineChars == kBase64LineLength && (charsLeft > 0 || breakLastLine)) {
            out[n++] = '\r';
            out[n++] = '\n';
            lineChars = 0;
        }
    };
    std::size_t i = 0;
    for (; i + 3 <= bytes; i += 3) {
        const std::uint32_t group =
            (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        put(kAlphabet[(group >> 18) & 0x3F]);
        put(kAlphabet[(group >> 12) & 0x3F]);
        put(kAlphabet[(group >> 6) & 0x3F]);
        put(kAlphabet[group & 0x3F]);
    }
    if (const std::size_t rest = bytes - i; rest > 0) {
        const std::uint32_t group =
            (std::uint32_t{data[i]} << 16) | (rest == 2 ? std::uint32_t{data[i + 1]} << 8 : 0U);
        put(kAlphabet[(group >> 18) & 0x3F]);
        put(kAlphabet[(group >> 12) & 0x3F]);
        put(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
        put('=');
    }
    return n;
}

std::size_t base64DecodedSize(std::u16string_view text) {
    std::size_t count = 0;
    for (const char16_t c : text) {
        if (sextet(c) != kNotInAlphabet) {
            ++count;
        }
    }
    return count / 4 * 3 + (count % 4) * 6 / 8;
}

std::size_t base64Decode(std::u16string_view text, std::uint8_t* out) {
    std::size_t n = 0;
    std::uint32_t bits = 0;
    int bitCount = 0;
    for (const char16_t c : text) {
        const std::uint8_t value = sextet(c);
        if (value == kNotInAlphabet) {
            continue;
        }
        bits = (bits << 6) | value;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out[n++] = static_cast<std::uint8_t>(bits >> bitCount);
            bits &= (1U << bitCount) - 1U;
        }
    }
    return n;
}

void hexEncode(const std::uint8_t* data, std::size_t bytes, char* out) {
    for (std::size_t i = 0; i < bytes; ++i) {
        out[2 * i] = kHexDigits[data[i] >> 4];
        out[2 * i + 1] = kHexDigits[data[i] & 0xF];
    }
}

bool hexDecode(std::u16string_view text, std::uint8_t* out) {
    if (text.size() % 2 != 0) {
        return false;
    }
    for (const char16_t c : text) {
        if (hexValue(c) < 0) {
            return false;
        }
    }
    for (std::size_t i = 0; i < text.size(); i += 2) {
        out[i / 2] = static_cast<std::uint8_t>(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
    }
    return true;
}

} // namespace tarvex::soap
