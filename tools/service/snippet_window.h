#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// The stretch of a text a result shows under its title: the window of `tokens` words that holds
// the most of the query's phrases, chosen as the local index chooses its snippet (a window
// around the best cluster of hits, or one that starts a sentence when that holds as much), so
// both backends show the same stretch of a document.
struct SnippetWindow {
    std::size_t begin = 0; // byte offsets into the text
    std::size_t end = 0;
    bool cutBefore = false; // the window starts after the text does
    bool cutAfter = false;  // and ends before it

    static constexpr int kTokens = 24;

    // `phrases` holds each wanted phrase's words in lower case. Words are split as the local
    // index splits them: runs of ASCII letters and digits and of bytes past ASCII.
    [[nodiscard]] static SnippetWindow choose(std::string_view text,
                                              const std::vector<std::vector<std::string>>& phrases,
                                              int tokens = kTokens);
};

} // namespace tarvex::search
