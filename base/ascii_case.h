#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tarvex {

// Case rules of protocol texts (schemes, hosts, field names): ASCII letters only, whatever the
// locale says.
[[nodiscard]] constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] inline std::string asciiLowered(std::string_view text) {
    std::string out{text};
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
}

[[nodiscard]] constexpr bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

// The value of a hexadecimal digit in either case, or -1 (byte and UTF-16 texts alike).
template <typename Char>
[[nodiscard]] constexpr int asciiHexValue(Char c) {
    if (c >= Char{'0'} && c <= Char{'9'}) {
        return static_cast<int>(c - Char{'0'});
    }
    if (c >= Char{'a'} && c <= Char{'f'}) {
        return static_cast<int>(c - Char{'a'}) + 10;
    }
    if (c >= Char{'A'} && c <= Char{'F'}) {
        return static_cast<int>(c - Char{'A'}) + 10;
    }
    return -1;
}

} // namespace tarvex
