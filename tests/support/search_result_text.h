#pragma once

#include "proxy/google_search_types.h"
#include "support/outcome_text.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarvex::test {

[[nodiscard]] inline std::string categoryText(const proxy::DirectoryCategory& category) {
    return "{" + utf16Text(category.fullViewableName) + " " + utf16Text(category.specialEncoding) +
           "}";
}

// Every member of a doGoogleSearch result: strings to the code unit, flags as the bytes they
// are, the double to the bit, and the arrays item by item.
[[nodiscard]] inline std::string searchResultText(const proxy::GoogleSearchResult& result) {
    char time[40];
    std::snprintf(time, sizeof time, "%a", result.searchTime);
    std::string text =
        "filtering=" + std::to_string(result.documentFiltering) +
        " comments=" + utf16Text(result.searchComments) +
        " total=" + std::to_string(result.estimatedTotalResultsCount) +
        " exact=" + std::to_string(result.estimateIsExact) +
        " query=" + utf16Text(result.searchQuery) + " start=" + std::to_string(result.startIndex) +
        " end=" + std::to_string(result.endIndex) + " tips=" + utf16Text(result.searchTips) +
        " time=" + time + " elements(" + std::to_string(result.resultElementsCount) + ")=[";
    for (std::int32_t i = 0; result.resultElements != nullptr && i < result.resultElementsCount;
         ++i) {
        const proxy::ResultElement& e = result.resultElements[i];
        text += "{summary=" + utf16Text(e.summary) + " URL=" + utf16Text(e.URL) +
                " snippet=" + utf16Text(e.snippet) + " title=" + utf16Text(e.title) +
                " cachedSize=" + utf16Text(e.cachedSize) +
                " related=" + std::to_string(e.relatedInformationPresent) +
                " hostName=" + utf16Text(e.hostName) +
                " category=" + categoryText(e.directoryCategory) +
                " directoryTitle=" + utf16Text(e.directoryTitle) + "}";
    }
    text += "] categories(" + std::to_string(result.directoryCategoriesCount) + ")=[";
    for (std::int32_t i = 0;
         result.directoryCategories != nullptr && i < result.directoryCategoriesCount; ++i) {
        text += categoryText(result.directoryCategories[i]);
    }
    return text + "]";
}

} // namespace tarvex::test
