#include "service/spelling.h"

#include "base/ascii_case.h"

#include <algorithm>

namespace tarvex::search {
namespace {

// Words the service can suggest for are capped, so a long phrase costs bounded work.
constexpr std::size_t kMaxWordLength = 64;
constexpr std::size_t kMaxWords = 32;

} // namespace

SpellingDictionary::SpellingDictionary(std::vector<IndexTerm> terms) : m_terms(std::move(terms)) {
    m_known.reserve(m_terms.size());
    for (const IndexTerm& term : m_terms) {
        m_known.insert(term.text);
    }
}

std::size_t SpellingDictionary::distance(std::string_view a, std::string_view b,
                                         std::size_t limit) {
    const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > limit) {
        return limit + 1;
    }
    // Three rows of the dynamic programme: two back (for transpositions), one back, current.
    std::vector<std::size_t> before(b.size() + 1);
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        std::size_t rowBest = current[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            std::size_t value =
                std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                value = std::min(value, before[j - 2] + 1);
            }
            current[j] = value;
            rowBest = std::min(rowBest, value);
        }
        if (rowBest > limit) {
            return limit + 1;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return std::min(previous[b.size()], limit + 1);
}

const IndexTerm* SpellingDictionary::nearest(const std::string& word) const {
    const std::size_t limit = word.size() <= 4 ? 1 : 2;
    const IndexTerm* best = nullptr;
    std::size_t bestDistance = limit + 1;
    for (const IndexTerm& term : m_terms) {
        const std::size_t d = distance(word, term.text, limit);
        if (d < bestDistance ||
            (d == bestDistance && best != nullptr && term.documents > best->documents)) {
            best = &term; // distance() never returns less than limit + 1 for a miss
            bestDistance = d;
        }
    }
    return best;
}

std::string respelled(std::string_view phrase, const Respeller& better) {
    std::string result;
    bool changed = false;
    std::size_t words = 0;
    std::size_t i = 0;
    while (i < phrase.size()) {
        const auto start = phrase.find_first_not_of(" \t\r\n", i);
        if (start == std::string_view::npos) {
            break;
        }
        const auto end = std::min(phrase.find_first_of(" \t\r\n", start), phrase.size());
        std::string word = asciiLowered(phrase.substr(start, end - start));
        i = end;
        if (++words <= kMaxWords && word.size() <= kMaxWordLength) {
            if (std::optional<std::string> replacement = better(word); replacement) {
                word = std::move(*replacement);
                changed = true;
            }
        }
        result += (result.empty() ? "" : " ") + word;
    }
    return changed ? result : std::string{};
}

std::string SpellingDictionary::suggest(std::string_view phrase) const {
    return respelled(phrase, [this](const std::string& word) -> std::optional<std::string> {
        if (m_known.contains(word)) {
            return std::nullopt;
        }
        if (const IndexTerm* term = nearest(word); term != nullptr) {
            return term->text;
        }
        return std::nullopt;
    });
}

} // namespace tarvex::search
