#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarvex::search {

struct IndexTerm {
    std::string text;       // lower case, as the index keeps it
    std::int64_t documents; // how many documents hold it
};

// A word's better spelling, or none to keep it.
using Respeller = std::function<std::optional<std::string>(const std::string& word)>;

// The phrase's words (split at blanks, lower case in ASCII) joined by single blanks, each that
// `better` answers for replaced; only the first 32 words of at most 64 bytes are asked. Empty
// when no word changes.
[[nodiscard]] std::string respelled(std::string_view phrase, const Respeller& better);

// Suggests the spelling of a phrase from the words the index knows.
class SpellingDictionary {
public:
    explicit SpellingDictionary(std::vector<IndexTerm> terms);

    // The phrase with every unknown word replaced by the nearest known word (edit distance
    // with transpositions, at most 1 for words of up to four letters and 2 for longer ones;
    // ties go to the word in more documents). Empty when no word changes.
    [[nodiscard]] std::string suggest(std::string_view phrase) const;

    // Optimal string alignment distance, or limit + 1 once it is past `limit`.
    [[nodiscard]] static std::size_t distance(std::string_view a, std::string_view b,
                                              std::size_t limit);

private:
    [[nodiscard]] const IndexTerm* nearest(const std::string& word) const;

    std::vector<IndexTerm> m_terms;
    std::unordered_set<std::string_view> m_known;
};

} // namespace tarvex::search
