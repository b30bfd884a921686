#include "service/snippet_window.h"

#include <algorithm>
#include <cstdint>

namespace tarvex::search {
namespace {

struct Token {
    std::size_t begin;
    std::size_t end;
    std::string lower;
};

// A phrase found in the text: its first word's position, which phrase, how many words.
struct Hit {
    std::int64_t position;
    std::size_t phrase;
    std::int64_t size;
};

bool isWordByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::vector<Token> tokensOf(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !isWordByte(text[i])) {
            ++i;
        }
        const std::size_t begin = i;
        while (i < text.size() && isWordByte(text[i])) {
            ++i;
        }
        if (i > begin) {
            std::string lower{text.substr(begin, i - begin)};
            for (char& c : lower) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            tokens.push_back({begin, i, std::move(lower)});
        }
    }
    return tokens;
}

// Positions of the words that start a sentence: the first, and any after a full stop or a
// colon followed by white space.
std::vector<std::int64_t> sentenceStarts(std::string_view text, const std::vector<Token>& tokens) {
    std::vector<std::int64_t> starts;
    for (std::size_t t = 0; t < tokens.size(); ++t) {
        if (t == 0) {
            starts.push_back(0);
            continue;
        }
        std::size_t i = tokens[t].begin;
        while (i > 0 && isBlank(text[i - 1])) {
            --i;
        }
        if (i != tokens[t].begin && i > 0 && (text[i - 1] == '.' || text[i - 1] == ':')) {
            starts.push_back(static_cast<std::int64_t>(t));
        }
    }
    return starts;
}

std::vector<Hit> hitsOf(const std::vector<Token>& tokens,
                        const std::vector<std::vector<std::string>>& phrases) {
    std::vector<Hit> hits;
    for (std::size_t p = 0; p < phrases.size(); ++p) {
        const auto& words = phrases[p];
        if (words.empty() || words.size() > tokens.size()) {
            continue;
        }
        for (std::size_t at = 0; at + words.size() <= tokens.size(); ++at) {
            bool same = true;
            for (std::size_t w = 0; w < words.size() && same; ++w) {
                same = tokens[at + w].lower == words[w];
            }
            if (same) {
                hits.push_back(
                    {static_cast<std::int64_t>(at), p, static_cast<std::int64_t>(words.size())});
            }
        }
    }
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        return a.position != b.position ? a.position < b.position : a.phrase < b.phrase;
    });
    return hits;
}

struct Score {
    int value = 0;
    std::int64_t start = 0; // the window moved to centre its hits
};

// A distinct phrase in the window counts 1000, a repeat 1.
Score score(const std::vector<Hit>& hits, std::size_t phrases, std::int64_t from,
            std::int64_t tokens, std::int64_t size) {
    std::vector<bool> seen(phrases, false);
    Score result;
    std::int64_t first = -1;
    std::int64_t last = 0;
    const auto begin =
        std::lower_bound(hits.begin(), hits.end(), from,
                         [](const Hit& hit, std::int64_t at) { return hit.position < at; });
    for (auto hit = begin; hit != hits.end() && hit->position < from + tokens; ++hit) {
        result.value += seen[hit->phrase] ? 1 : 1000;
        seen[hit->phrase] = true;
        if (first < 0) {
            first = hit->position;
        }
        last = hit->position + hit->size;
    }
    std::int64_t start = first - (tokens - (last - first)) / 2;
    if (start + tokens > size) {
        start = size - tokens;
    }
    result.start = std::max<std::int64_t>(start, 0);
    return result;
}

} // namespace

SnippetWindow SnippetWindow::choose(std::string_view text,
                                    const std::vector<std::vector<std::string>>& phrases,
                                    int tokens) {
    const std::vector<Token> words = tokensOf(text);
    const std::vector<Hit> hits = hitsOf(words, phrases);
    const std::vector<std::int64_t> sentences = sentenceStarts(text, words);
    const auto size = static_cast<std::int64_t>(words.size());
    const std::int64_t length = std::max(tokens, 1);

    int bestScore = 0;
    std::int64_t bestStart = 0;
    for (const Hit& hit : hits) {
        const Score around = score(hits, phrases.size(), hit.position, length, size);
        if (around.value > bestScore) {
            bestScore = around.value;
            bestStart = around.start;
        }
        if (sentences.empty() || size <= length) {
            continue;
        }
        // The sentence the hit is in, when it starts before the hit, is worth a little more.
        const auto after = std::upper_bound(sentences.begin(), sentences.end(), hit.position);
        const std::int64_t sentence = *(after - 1);
        if (sentence < hit.position) {
            const int value = score(hits, phrases.size(), sentence, length, size).value +
                              (sentence == 0 ? 120 : 100);
            if (value > bestScore) {
                bestScore = value;
                bestStart = sentence;
            }
        }
    }

    SnippetWindow window;
    const std::int64_t last = bestStart + length - 1;
    window.cutBefore = bestStart > 0 && bestStart < size;
    window.begin = window.cutBefore ? words[static_cast<std::size_t>(bestStart)].begin : 0;
    window.cutAfter = last < size - 1;
    window.end = window.cutAfter ? words[static_cast<std::size_t>(last)].end : text.size();
    return window;
}

} // namespace tarvex::search
