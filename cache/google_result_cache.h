#pragma once

#include "cache/ole_date.h"
#include "cache/search_result_set.h"
#include "cache/ser_string_array.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cache {

// One cached query word with its results.
struct CGoogleResultCache {
    std::string queryWord;
    std::int32_t estimatedTotal = 0;
    CSerStringArray urls;
    CSerStringArray titles;
    CSerStringArray summaries;
    CSerStringArray snippets;
    CSerStringArray categoryNames;
    CSerStringArray directoryTitles;
    CSerStringArray reservedList; // nothing fills it; kept for the file
    OleDate searchedAt;
};

// Whether the six result lists hold one element per row each (reservedList is none of them).
[[nodiscard]] bool hasParallelLists(const CGoogleResultCache& entry);

// The result cache: one entry per query word (compared without regard to case), in the order
// the words were first stored. Nothing is removed but by the user.
class CGoogleResultCacheArray {
public:
    explicit CGoogleResultCacheArray(const Clock& clock) : m_clock(clock) {}

    // The entry for `word` into `out` (all but its queryWord), when it is fresh or
    // `ignoreExpiry` is set. The scan stops at the first entry of that word.
    [[nodiscard]] bool Lookup(std::string_view word, SearchResultSet& out, bool ignoreExpiry) const;
    // The first page of a query: replaces the entry's results, or adds an entry stamped now.
    bool Store(std::string_view word, const SearchResultSet& page);
    // A later page: appended to the entry's lists, or a new entry as Store makes it.
    bool Append(std::string_view word, const SearchResultSet& page);
    bool DeleteWord(std::string_view word);
    std::int32_t DeleteWords(const std::vector<std::string>& words);
    [[nodiscard]] std::string GetWordAt(std::int32_t index) const;
    [[nodiscard]] std::int32_t GetCount() const {
        return static_cast<std::int32_t>(m_entries.size());
    }

    void clear() { m_entries.clear(); }
    // Entries in order, for the cache file.
    [[nodiscard]] const std::vector<std::unique_ptr<CGoogleResultCache>>& entries() const {
        return m_entries;
    }
    void add(std::unique_ptr<CGoogleResultCache> entry) { m_entries.push_back(std::move(entry)); }
    // Takes the entries of `older` (stored before any of this cache's) whose words this cache
    // lacks, ahead of its own; for a word in both, this cache's entry stays.
    void mergeOlder(CGoogleResultCacheArray&& older);
    [[nodiscard]] const Clock& clock() const { return m_clock; }

    std::int32_t cacheLifeHours = 24;

private:
    [[nodiscard]] CGoogleResultCache* find(std::string_view word) const;
    void addNew(std::string_view word, const SearchResultSet& page);

    const Clock& m_clock;
    std::vector<std::unique_ptr<CGoogleResultCache>> m_entries;
};

} // namespace tarvex::cache
