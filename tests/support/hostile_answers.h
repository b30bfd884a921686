#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvex::test {

// Header names of 32 characters that all share one hash of the header table: "AZ" and "B9" hash
// alike (33 * 'A' + 'Z' == 33 * 'B' + '9'), so every string of 16 such pairs does too. Index i
// (below 65,536) spells its bits.
[[nodiscard]] inline std::string collidingHeaderName(std::size_t index) {
    std::string name;
    for (int bit = 15; bit >= 0; --bit) {
        name += ((index >> bit) & 1U) != 0 ? "B9" : "AZ";
    }
    return name;
}

// Short header lines that all differ, 12 bytes each ("0000001: v\r\n"), numbered from `first`.
inline constexpr std::size_t kShortHeaderLineBytes = 12;

[[nodiscard]] inline std::string shortHeaderLines(std::size_t first, std::size_t count) {
    std::string lines;
    lines.reserve(count * kShortHeaderLineBytes);
    char line[kShortHeaderLineBytes + 1];
    for (std::size_t i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, "%07zx: v\r\n", i & 0xFFFFFFFU);
        lines += line;
    }
    return lines;
}

} // namespace tarvex::test
