#pragma once

#include "cache/ole_date.h"
#include "cache/ser_string_array.h"

#include <cstdint>
#include <string>

namespace tarvex::cache {

// The results of one query word: six parallel lists (element i of each belongs to result i)
// and the time of the search.
struct SearchResultSet {
    std::string queryWord;
    std::int32_t estimatedTotal = 0;
    CSerStringArray urls;
    CSerStringArray titles;
    CSerStringArray summaries;
    CSerStringArray snippets;
    CSerStringArray categoryNames;
    CSerStringArray directoryTitles;
    OleDate searchedAt;
};

} // namespace tarvex::cache
