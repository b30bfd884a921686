#pragma once

#include "soap/soap_map.h"

#include <cstdint>

namespace tarvex::proxy {

inline constexpr const char* kGoogleSearchNamespace = "urn:GoogleSearch";
inline constexpr const char16_t* kGoogleSearchWideNamespace = u"urn:GoogleSearch";

// Positions in the function map list.
inline constexpr std::int32_t kDoGetCachedPageIndex = 0;
inline constexpr std::int32_t kDoGoogleSearchIndex = 1;
inline constexpr std::int32_t kDoSpellingSuggestionIndex = 2;

extern const soap::SoapMap kDirectoryCategoryMap;
extern const soap::SoapMap kResultElementMap;
extern const soap::SoapMap kGoogleSearchResultMap;
extern const soap::SoapMap kDoGetCachedPageMap;
extern const soap::SoapMap kDoGoogleSearchMap;
extern const soap::SoapMap kDoSpellingSuggestionMap;

// Null-terminated, in lookup order: doGetCachedPage, doGoogleSearch, doSpellingSuggestion.
extern const soap::SoapMap* const kGoogleSearchFunctionMaps[4];
// Each operation's (empty) Header map, parallel to the function maps.
extern const soap::SoapMap* const kGoogleSearchHeaderMaps[4];

} // namespace tarvex::proxy
