#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// One result as an upstream engine gave it: plain text, markup of the engine already taken out
// or kept as text, never trusted as HTML.
struct UpstreamItem {
    std::string url;
    std::string title;
    std::string text; // the engine's description or content
};

// One page of an upstream engine's answer.
struct UpstreamPage {
    std::vector<UpstreamItem> items;
    // The engine's own count of all results; absent when it gave none or one that is no number.
    std::optional<std::int64_t> total;
    // Spelling help the engine offered (SearXNG: corrections first, then suggestions).
    std::vector<std::string> corrections;
    std::vector<std::string> suggestions;
};

// Caps on what an upstream answer may hold; past any of them the answer is refused.
inline constexpr std::size_t kMaxUpstreamBytes = std::size_t{4} << 20;
inline constexpr std::size_t kMaxUpstreamItems = 1000;
// A longer field is not refused but cut at this cap on a UTF-8 character boundary.
inline constexpr std::size_t kMaxUpstreamTextBytes = std::size_t{64} << 10; // one field

// Where `text` may be cut to at most `limit` bytes without splitting a UTF-8 character.
[[nodiscard]] inline std::size_t characterBoundary(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
        --end; // inside a character: cut before it
    }
    return end;
}

} // namespace tarvex::search
