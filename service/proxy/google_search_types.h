#pragma once

#include "base/sys_string.h"
#include "soap/xsd_types.h"

#include <cstdint>
#include <type_traits>

namespace tarvex::proxy {

// The most results the service gives for one doGoogleSearch.
inline constexpr std::int32_t kResultsPerRequest = 10;

// The service's structures as the proxy returns them: UTF-16 strings (null when absent),
// booleans as one byte, arrays as pointer plus count. The maps describe these records by offset.

struct DirectoryCategory {
    SysString fullViewableName;
    SysString specialEncoding;
};

struct ResultElement {
    SysString summary;
    SysString URL;
    SysString snippet;
    SysString title;
    SysString cachedSize;
    std::uint8_t relatedInformationPresent;
    SysString hostName;
    DirectoryCategory directoryCategory;
    SysString directoryTitle;
};

struct GoogleSearchResult {
    std::uint8_t documentFiltering;
    SysString searchComments;
    std::int32_t estimatedTotalResultsCount;
    std::uint8_t estimateIsExact;
    ResultElement* resultElements;
    std::int32_t resultElementsCount;
    SysString searchQuery;
    std::int32_t startIndex;
    std::int32_t endIndex;
    SysString searchTips;
    DirectoryCategory* directoryCategories;
    std::int32_t directoryCategoriesCount;
    double searchTime;
};

// Parameter records: the parameters in order, then the return value.

struct DoGetCachedPageParams {
    SysString key;
    SysString url;
    soap::XsdBinary returnValue;
};

struct DoGoogleSearchParams {
    SysString key;
    SysString q;
    std::int32_t start;
    std::int32_t maxResults;
    std::uint8_t filter;
    SysString restrict;
    std::uint8_t safeSearch;
    SysString lr;
    SysString ie;
    SysString oe;
    GoogleSearchResult returnValue;
};

struct DoSpellingSuggestionParams {
    SysString key;
    SysString phrase;
    SysString returnValue;
};

static_assert(std::is_standard_layout_v<GoogleSearchResult> &&
              std::is_trivial_v<GoogleSearchResult>);
static_assert(std::is_standard_layout_v<DoGoogleSearchParams> &&
              std::is_trivial_v<DoGoogleSearchParams>);

} // namespace tarvex::proxy
