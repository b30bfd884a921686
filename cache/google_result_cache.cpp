#include "cache/google_result_cache.h"

#include "base/same_word.h"

#include <algorithm>
#include <cmath>

namespace tarvex::cache {
namespace {

// The total and the six lists, from an entry or a result set to the other.
template <class From, class To>
void copyResults(const From& from, To& to) {
    to.estimatedTotal = from.estimatedTotal;
    to.urls = from.urls;
    to.titles = from.titles;
    to.summaries = from.summaries;
    to.snippets = from.snippets;
    to.categoryNames = from.categoryNames;
    to.directoryTitles = from.directoryTitles;
}

} // namespace

bool hasParallelLists(const CGoogleResultCache& entry) {
    const std::size_t rows = entry.urls.size();
    for (const CSerStringArray* list : {&entry.titles, &entry.summaries, &entry.snippets,
                                        &entry.categoryNames, &entry.directoryTitles}) {
        if (list->size() != rows) {
            return false;
        }
    }
    return true;
}

CGoogleResultCache* CGoogleResultCacheArray::find(std::string_view word) const {
    for (const auto& entry : m_entries) {
        if (sameWord(entry->queryWord, word)) {
            return entry.get();
        }
    }
    return nullptr;
}

bool CGoogleResultCacheArray::Lookup(std::string_view word, SearchResultSet& out,
                                     bool ignoreExpiry) const {
    const CGoogleResultCache* entry = find(word);
    if (entry == nullptr) {
        return false;
    }
    // The cache life as a span of days, hours and minutes (the hours in minutes, 32 bits).
    // Dates hold whole seconds, so the comparison is made in seconds, where it is exact.
    const std::uint32_t minutes = static_cast<std::uint32_t>(cacheLifeHours) * 60U;
    const std::int64_t spanSeconds = std::int64_t{minutes / 1440U} * 86400 +
                                     std::int64_t{(minutes % 1440U) / 60U} * 3600 +
                                     std::int64_t{(minutes % 1440U) % 60U} * 60;
    const double now = continuousDays(m_clock.now().days);
    const double stored = continuousDays(entry->searchedAt.days);
    // Equal counts as fresh; a date that is no number counts as stale.
    const bool fresh = std::isfinite(now) && std::isfinite(stored) &&
                       std::llround(now * 86400.0) - spanSeconds <= std::llround(stored * 86400.0);
    if (!fresh && !ignoreExpiry) {
        return false;
    }
    copyResults(*entry, out);
    out.searchedAt = entry->searchedAt;
    return true;
}

void CGoogleResultCacheArray::addNew(std::string_view word, const SearchResultSet& page) {
    auto entry = std::make_unique<CGoogleResultCache>();
    entry->queryWord = std::string{word};
    copyResults(page, *entry);
    // A new entry is stamped now, not with the page's time.
    entry->searchedAt = m_clock.now();
    m_entries.push_back(std::move(entry));
}

bool CGoogleResultCacheArray::Store(std::string_view word, const SearchResultSet& page) {
    CGoogleResultCache* entry = find(word);
    if (entry == nullptr) {
        addNew(word, page);
        return true;
    }
    copyResults(page, *entry);
    entry->searchedAt = page.searchedAt;
    return true;
}

bool CGoogleResultCacheArray::Append(std::string_view word, const SearchResultSet& page) {
    CGoogleResultCache* entry = find(word);
    if (entry == nullptr) {
        addNew(word, page);
        return true;
    }
    entry->estimatedTotal = page.estimatedTotal;
    entry->urls.AppendUnique(page.urls);
    entry->titles.AppendUnique(page.titles);
    entry->summaries.AppendUnique(page.summaries);
    entry->snippets.AppendUnique(page.snippets);
    entry->categoryNames.AppendUnique(page.categoryNames);
    entry->directoryTitles.AppendUnique(page.directoryTitles);
    entry->searchedAt = page.searchedAt;
    return true;
}

void CGoogleResultCacheArray::mergeOlder(CGoogleResultCacheArray&& older) {
    std::vector<std::unique_ptr<CGoogleResultCache>> merged;
    merged.reserve(older.m_entries.size() + m_entries.size());
    for (auto& entry : older.m_entries) {
        if (find(entry->queryWord) == nullptr) {
            merged.push_back(std::move(entry));
        }
    }
    older.m_entries.clear();
    for (auto& entry : m_entries) {
        merged.push_back(std::move(entry));
    }
    m_entries = std::move(merged);
}

bool CGoogleResultCacheArray::DeleteWord(std::string_view word) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [word](const auto& entry) {
        return sameWord(entry->queryWord, word);
    });
    if (it == m_entries.end()) {
        return false;
    }
    m_entries.erase(it);
    return true;
}

std::int32_t CGoogleResultCacheArray::DeleteWords(const std::vector<std::string>& words) {
    std::int32_t removed = 0;
    for (const std::string& word : words) {
        removed += DeleteWord(word) ? 1 : 0;
    }
    return removed;
}

std::string CGoogleResultCacheArray::GetWordAt(std::int32_t index) const {
    if (index < 0 || index >= GetCount()) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(index)]->queryWord;
}

} // namespace tarvex::cache
