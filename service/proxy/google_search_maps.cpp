#include "proxy/google_search_maps.h"

#include "proxy/google_search_types.h"

#include <cstddef>

namespace tarvex::proxy {

using soap::endOfEntries;
using soap::EntryOptions;
using soap::MapOptions;
using soap::soapEntry;
using soap::SoapFlag;
using soap::SoapMap;
using soap::soapMap;
using soap::SoapMapEntry;
using soap::SoapMapKind;
using soap::XsdType;

namespace {

constexpr std::uint32_t kCall = SoapFlag::Rpc | SoapFlag::Encoded;
constexpr std::uint32_t kInString = SoapFlag::In | SoapFlag::Nullable | kCall;
constexpr std::uint32_t kInValue = SoapFlag::In | kCall;
constexpr std::uint32_t kReturnStruct = SoapFlag::Out | kCall;
constexpr std::uint32_t kReturnNullable = SoapFlag::Out | SoapFlag::Nullable | kCall;
constexpr std::uint32_t kMember = SoapFlag::Member;
constexpr std::uint32_t kStringMember = SoapFlag::Member | SoapFlag::Nullable;
constexpr std::uint32_t kArrayMember =
    SoapFlag::Member | SoapFlag::Nullable | SoapFlag::DynamicArray;
constexpr std::uint32_t kCountMember = SoapFlag::Member | SoapFlag::SizeOnly;

static_assert(kInString == 0x5401 && kInValue == 0x5001 && kReturnStruct == 0x5002 &&
              kReturnNullable == 0x5402 && kStringMember == 0x500 && kArrayMember == 0x508 &&
              kCountMember == 0x300);

constexpr MapOptions kStructOptions{0, kGoogleSearchNamespace, kGoogleSearchWideNamespace};
constexpr MapOptions kCallOptions{kCall, kGoogleSearchNamespace, kGoogleSearchWideNamespace};

constexpr SoapMapEntry kDirectoryCategoryEntries[] = {
    soapEntry("fullViewableName", u"fullViewableName", XsdType::String, kStringMember,
              offsetof(DirectoryCategory, fullViewableName)),
    soapEntry("specialEncoding", u"specialEncoding", XsdType::String, kStringMember,
              offsetof(DirectoryCategory, specialEncoding)),
    endOfEntries(),
};

} // namespace

constexpr SoapMap kDirectoryCategoryMap =
    soapMap("DirectoryCategory", u"DirectoryCategory", SoapMapKind::Struct,
            kDirectoryCategoryEntries, sizeof(DirectoryCategory), 2, kStructOptions);

namespace {

constexpr SoapMapEntry kResultElementEntries[] = {
    soapEntry("summary", u"summary", XsdType::String, kStringMember,
              offsetof(ResultElement, summary)),
    soapEntry("URL", u"URL", XsdType::String, kStringMember, offsetof(ResultElement, URL)),
    soapEntry("snippet", u"snippet", XsdType::String, kStringMember,
              offsetof(ResultElement, snippet)),
    soapEntry("title", u"title", XsdType::String, kStringMember, offsetof(ResultElement, title)),
    soapEntry("cachedSize", u"cachedSize", XsdType::String, kStringMember,
              offsetof(ResultElement, cachedSize)),
    soapEntry("relatedInformationPresent", u"relatedInformationPresent", XsdType::Boolean, kMember,
              offsetof(ResultElement, relatedInformationPresent)),
    soapEntry("hostName", u"hostName", XsdType::String, kStringMember,
              offsetof(ResultElement, hostName)),
    soapEntry("directoryCategory", u"directoryCategory", XsdType::User, kMember,
              offsetof(ResultElement, directoryCategory), EntryOptions{&kDirectoryCategoryMap}),
    soapEntry("directoryTitle", u"directoryTitle", XsdType::String, kStringMember,
              offsetof(ResultElement, directoryTitle)),
    endOfEntries(),
};

} // namespace

constexpr SoapMap kResultElementMap =
    soapMap("ResultElement", u"ResultElement", SoapMapKind::Struct, kResultElementEntries,
            sizeof(ResultElement), 9, kStructOptions);

namespace {

// The count entries follow their arrays and bear the same name; matching by name takes the
// array entry first, so a count entry is never matched.
constexpr std::int32_t kResultElementsCountIndex = 5;
constexpr std::int32_t kDirectoryCategoriesCountIndex = 11;

constexpr SoapMapEntry kGoogleSearchResultEntries[] = {
    soapEntry("documentFiltering", u"documentFiltering", XsdType::Boolean, kMember,
              offsetof(GoogleSearchResult, documentFiltering)),
    soapEntry("searchComments", u"searchComments", XsdType::String, kStringMember,
              offsetof(GoogleSearchResult, searchComments)),
    soapEntry("estimatedTotalResultsCount", u"estimatedTotalResultsCount", XsdType::Int, kMember,
              offsetof(GoogleSearchResult, estimatedTotalResultsCount)),
    soapEntry("estimateIsExact", u"estimateIsExact", XsdType::Boolean, kMember,
              offsetof(GoogleSearchResult, estimateIsExact)),
    soapEntry("resultElements", u"resultElements", XsdType::User, kArrayMember,
              offsetof(GoogleSearchResult, resultElements),
              EntryOptions{&kResultElementMap, kResultElementsCountIndex}),
    soapEntry("resultElements", u"resultElements", XsdType::Int, kCountMember,
              offsetof(GoogleSearchResult, resultElementsCount)),
    soapEntry("searchQuery", u"searchQuery", XsdType::String, kStringMember,
              offsetof(GoogleSearchResult, searchQuery)),
    soapEntry("startIndex", u"startIndex", XsdType::Int, kMember,
              offsetof(GoogleSearchResult, startIndex)),
    soapEntry("endIndex", u"endIndex", XsdType::Int, kMember,
              offsetof(GoogleSearchResult, endIndex)),
    soapEntry("searchTips", u"searchTips", XsdType::String, kStringMember,
              offsetof(GoogleSearchResult, searchTips)),
    soapEntry("directoryCategories", u"directoryCategories", XsdType::User, kArrayMember,
              offsetof(GoogleSearchResult, directoryCategories),
              EntryOptions{&kDirectoryCategoryMap, kDirectoryCategoriesCountIndex}),
    soapEntry("directoryCategories", u"directoryCategories", XsdType::Int, kCountMember,
              offsetof(GoogleSearchResult, directoryCategoriesCount)),
    soapEntry("searchTime", u"searchTime", XsdType::Double, kMember,
              offsetof(GoogleSearchResult, searchTime)),
    endOfEntries(),
};

static_assert(kGoogleSearchResultEntries[kResultElementsCountIndex].offset ==
              offsetof(GoogleSearchResult, resultElementsCount));
static_assert(kGoogleSearchResultEntries[kDirectoryCategoriesCountIndex].offset ==
              offsetof(GoogleSearchResult, directoryCategoriesCount));

} // namespace

constexpr SoapMap kGoogleSearchResultMap =
    soapMap("GoogleSearchResult", u"GoogleSearchResult", SoapMapKind::Struct,
            kGoogleSearchResultEntries, sizeof(GoogleSearchResult), 11, kStructOptions);

namespace {

constexpr SoapMapEntry kDoGetCachedPageEntries[] = {
    soapEntry("key", u"key", XsdType::String, kInString, offsetof(DoGetCachedPageParams, key)),
    soapEntry("url", u"url", XsdType::String, kInString, offsetof(DoGetCachedPageParams, url)),
    soapEntry("return", u"return", XsdType::Base64Binary, kReturnNullable,
              offsetof(DoGetCachedPageParams, returnValue)),
    endOfEntries(),
};

constexpr SoapMapEntry kDoGoogleSearchEntries[] = {
    soapEntry("key", u"key", XsdType::String, kInString, offsetof(DoGoogleSearchParams, key)),
    soapEntry("q", u"q", XsdType::String, kInString, offsetof(DoGoogleSearchParams, q)),
    soapEntry("start", u"start", XsdType::Int, kInValue, offsetof(DoGoogleSearchParams, start)),
    soapEntry("maxResults", u"maxResults", XsdType::Int, kInValue,
              offsetof(DoGoogleSearchParams, maxResults)),
    soapEntry("filter", u"filter", XsdType::Boolean, kInValue,
              offsetof(DoGoogleSearchParams, filter)),
    soapEntry("restrict", u"restrict", XsdType::String, kInString,
              offsetof(DoGoogleSearchParams, restrict)),
    soapEntry("safeSearch", u"safeSearch", XsdType::Boolean, kInValue,
              offsetof(DoGoogleSearchParams, safeSearch)),
    soapEntry("lr", u"lr", XsdType::String, kInString, offsetof(DoGoogleSearchParams, lr)),
    soapEntry("ie", u"ie", XsdType::String, kInString, offsetof(DoGoogleSearchParams, ie)),
    soapEntry("oe", u"oe", XsdType::String, kInString, offsetof(DoGoogleSearchParams, oe)),
    soapEntry("return", u"return", XsdType::User, kReturnStruct,
              offsetof(DoGoogleSearchParams, returnValue), EntryOptions{&kGoogleSearchResultMap}),
    endOfEntries(),
};

constexpr SoapMapEntry kDoSpellingSuggestionEntries[] = {
    soapEntry("key", u"key", XsdType::String, kInString, offsetof(DoSpellingSuggestionParams, key)),
    soapEntry("phrase", u"phrase", XsdType::String, kInString,
              offsetof(DoSpellingSuggestionParams, phrase)),
    soapEntry("return", u"return", XsdType::String, kReturnNullable,
              offsetof(DoSpellingSuggestionParams, returnValue)),
    endOfEntries(),
};

constexpr SoapMapEntry kNoHeaderEntries[] = {endOfEntries()};

} // namespace

constexpr SoapMap kDoGetCachedPageMap =
    soapMap("doGetCachedPage", u"doGetCachedPage", SoapMapKind::Function, kDoGetCachedPageEntries,
            sizeof(DoGetCachedPageParams), 1, kCallOptions);
constexpr SoapMap kDoGoogleSearchMap =
    soapMap("doGoogleSearch", u"doGoogleSearch", SoapMapKind::Function, kDoGoogleSearchEntries,
            sizeof(DoGoogleSearchParams), 1, kCallOptions);
constexpr SoapMap kDoSpellingSuggestionMap =
    soapMap("doSpellingSuggestion", u"doSpellingSuggestion", SoapMapKind::Function,
            kDoSpellingSuggestionEntries, sizeof(DoSpellingSuggestionParams), 1, kCallOptions);

namespace {

constexpr SoapMap kDoGetCachedPageHeaderMap =
    soapMap("doGetCachedPage", u"doGetCachedPage", SoapMapKind::Header, kNoHeaderEntries, 0, 0,
            kCallOptions);
constexpr SoapMap kDoGoogleSearchHeaderMap = soapMap(
    "doGoogleSearch", u"doGoogleSearch", SoapMapKind::Header, kNoHeaderEntries, 0, 0, kCallOptions);
constexpr SoapMap kDoSpellingSuggestionHeaderMap =
    soapMap("doSpellingSuggestion", u"doSpellingSuggestion", SoapMapKind::Header, kNoHeaderEntries,
            0, 0, kCallOptions);

} // namespace

constexpr const SoapMap* kGoogleSearchFunctionMaps[4] = {&kDoGetCachedPageMap, &kDoGoogleSearchMap,
                                                         &kDoSpellingSuggestionMap, nullptr};
constexpr const SoapMap* kGoogleSearchHeaderMaps[4] = {&kDoGetCachedPageHeaderMap,
                                                       &kDoGoogleSearchHeaderMap,
                                                       &kDoSpellingSuggestionHeaderMap, nullptr};

static_assert(kDoGoogleSearchEntries[1].nameHash == 0x71 &&
              kDoGoogleSearchEntries[7].nameHash == 0xE5E &&
              kDoGoogleSearchEntries[0].nameHash == 0x1D4A9);

} // namespace tarvex::proxy
