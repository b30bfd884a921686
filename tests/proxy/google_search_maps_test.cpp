#include "proxy/google_search_maps.h"
#include "proxy/google_search_types.h"
#include "soap/map_lookup.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tarvex::proxy {
namespace {

using soap::SoapFlag;
using soap::SoapMap;
using soap::SoapMapEntry;
using soap::SoapMapKind;
using soap::XsdType;

struct ExpectedEntry {
    const char* name;
    XsdType type;
    std::uint32_t flags;
    std::size_t offset;
    const SoapMap* nested;
    std::int32_t sizeIs;
};

void expectEntries(const SoapMap& map, const std::vector<ExpectedEntry>& expected) {
    std::size_t i = 0;
    for (; !soap::isTerminator(map.entries[i]); ++i) {
        ASSERT_LT(i, expected.size()) << map.name << " has more entries than expected";
        const SoapMapEntry& entry = map.entries[i];
        const ExpectedEntry& want = expected[i];
        SCOPED_TRACE(std::string{map.name} + "." + want.name);
        EXPECT_STREQ(entry.name, want.name);
        EXPECT_EQ(entry.nameLength, static_cast<std::int32_t>(std::string{want.name}.size()));
        EXPECT_EQ(entry.nameHash, soap::soapHash(want.name, std::string{want.name}.size()));
        EXPECT_EQ(std::u16string{entry.wideName},
                  std::u16string(want.name, want.name + entry.nameLength));
        EXPECT_EQ(entry.type, want.type);
        EXPECT_EQ(entry.flags, want.flags);
        EXPECT_EQ(entry.offset, want.offset);
        EXPECT_EQ(entry.nestedMap, want.nested);
        EXPECT_EQ(entry.sizeIsIndex, want.sizeIs);
        EXPECT_EQ(entry.dimensions, nullptr);
        EXPECT_EQ(entry.ns, nullptr) << "entries carry no namespace of their own";
        EXPECT_EQ(entry.nsHash, 0U);
    }
    EXPECT_EQ(i, expected.size());
}

void expectMapHeader(const SoapMap& map, const char* name, SoapMapKind kind, std::size_t recordSize,
                     std::int32_t elementCount, std::uint32_t callFlags) {
    SCOPED_TRACE(name);
    EXPECT_STREQ(map.name, name);
    EXPECT_EQ(map.nameHash, soap::soapHash(name, std::string{name}.size()));
    EXPECT_EQ(map.nameLength, map.wideNameLength);
    EXPECT_EQ(map.kind, kind);
    EXPECT_EQ(map.recordSize, recordSize);
    EXPECT_EQ(map.elementCount, elementCount);
    EXPECT_EQ(map.returnIndex, -1);
    EXPECT_EQ(map.callFlags, callFlags);
    EXPECT_STREQ(map.ns, "urn:GoogleSearch");
    EXPECT_EQ(std::u16string{map.wideNs}, u"urn:GoogleSearch");
    EXPECT_EQ(map.nsLength, 16);
    EXPECT_EQ(map.nsHash, soap::soapHash("urn:GoogleSearch", 16));
}

TEST(GoogleSearchMapsTest, DoGoogleSearchParametersInOrder) {
    expectMapHeader(kDoGoogleSearchMap, "doGoogleSearch", SoapMapKind::Function,
                    sizeof(DoGoogleSearchParams), 1, 0x5000);
    using P = DoGoogleSearchParams;
    expectEntries(
        kDoGoogleSearchMap,
        {
            {"key", XsdType::String, 0x5401, offsetof(P, key), nullptr, -1},
            {"q", XsdType::String, 0x5401, offsetof(P, q), nullptr, -1},
            {"start", XsdType::Int, 0x5001, offsetof(P, start), nullptr, -1},
            {"maxResults", XsdType::Int, 0x5001, offsetof(P, maxResults), nullptr, -1},
            {"filter", XsdType::Boolean, 0x5001, offsetof(P, filter), nullptr, -1},
            {"restrict", XsdType::String, 0x5401, offsetof(P, restrict), nullptr, -1},
            {"safeSearch", XsdType::Boolean, 0x5001, offsetof(P, safeSearch), nullptr, -1},
            {"lr", XsdType::String, 0x5401, offsetof(P, lr), nullptr, -1},
            {"ie", XsdType::String, 0x5401, offsetof(P, ie), nullptr, -1},
            {"oe", XsdType::String, 0x5401, offsetof(P, oe), nullptr, -1},
            {"return", XsdType::User, 0x5002, offsetof(P, returnValue), &kGoogleSearchResultMap,
             -1},
        });
}

TEST(GoogleSearchMapsTest, OtherOperations) {
    expectMapHeader(kDoGetCachedPageMap, "doGetCachedPage", SoapMapKind::Function,
                    sizeof(DoGetCachedPageParams), 1, 0x5000);
    expectEntries(
        kDoGetCachedPageMap,
        {
            {"key", XsdType::String, 0x5401, offsetof(DoGetCachedPageParams, key), nullptr, -1},
            {"url", XsdType::String, 0x5401, offsetof(DoGetCachedPageParams, url), nullptr, -1},
            {"return", XsdType::Base64Binary, 0x5402, offsetof(DoGetCachedPageParams, returnValue),
             nullptr, -1},
        });
    expectMapHeader(kDoSpellingSuggestionMap, "doSpellingSuggestion", SoapMapKind::Function,
                    sizeof(DoSpellingSuggestionParams), 1, 0x5000);
    expectEntries(kDoSpellingSuggestionMap,
                  {
                      {"key", XsdType::String, 0x5401, offsetof(DoSpellingSuggestionParams, key),
                       nullptr, -1},
                      {"phrase", XsdType::String, 0x5401,
                       offsetof(DoSpellingSuggestionParams, phrase), nullptr, -1},
                      {"return", XsdType::String, 0x5402,
                       offsetof(DoSpellingSuggestionParams, returnValue), nullptr, -1},
                  });
}

TEST(GoogleSearchMapsTest, Structures) {
    using R = GoogleSearchResult;
    expectMapHeader(kGoogleSearchResultMap, "GoogleSearchResult", SoapMapKind::Struct, sizeof(R),
                    11, 0);
    expectEntries(
        kGoogleSearchResultMap,
        {
            {"documentFiltering", XsdType::Boolean, 0x100, offsetof(R, documentFiltering), nullptr,
             -1},
            {"searchComments", XsdType::String, 0x500, offsetof(R, searchComments), nullptr, -1},
            {"estimatedTotalResultsCount", XsdType::Int, 0x100,
             offsetof(R, estimatedTotalResultsCount), nullptr, -1},
            {"estimateIsExact", XsdType::Boolean, 0x100, offsetof(R, estimateIsExact), nullptr, -1},
            {"resultElements", XsdType::User, 0x508, offsetof(R, resultElements),
             &kResultElementMap, 5},
            {"resultElements", XsdType::Int, 0x300, offsetof(R, resultElementsCount), nullptr, -1},
            {"searchQuery", XsdType::String, 0x500, offsetof(R, searchQuery), nullptr, -1},
            {"startIndex", XsdType::Int, 0x100, offsetof(R, startIndex), nullptr, -1},
            {"endIndex", XsdType::Int, 0x100, offsetof(R, endIndex), nullptr, -1},
            {"searchTips", XsdType::String, 0x500, offsetof(R, searchTips), nullptr, -1},
            {"directoryCategories", XsdType::User, 0x508, offsetof(R, directoryCategories),
             &kDirectoryCategoryMap, 11},
            {"directoryCategories", XsdType::Int, 0x300, offsetof(R, directoryCategoriesCount),
             nullptr, -1},
            {"searchTime", XsdType::Double, 0x100, offsetof(R, searchTime), nullptr, -1},
        });

    using E = ResultElement;
    expectMapHeader(kResultElementMap, "ResultElement", SoapMapKind::Struct, sizeof(E), 9, 0);
    expectEntries(
        kResultElementMap,
        {
            {"summary", XsdType::String, 0x500, offsetof(E, summary), nullptr, -1},
            {"URL", XsdType::String, 0x500, offsetof(E, URL), nullptr, -1},
            {"snippet", XsdType::String, 0x500, offsetof(E, snippet), nullptr, -1},
            {"title", XsdType::String, 0x500, offsetof(E, title), nullptr, -1},
            {"cachedSize", XsdType::String, 0x500, offsetof(E, cachedSize), nullptr, -1},
            {"relatedInformationPresent", XsdType::Boolean, 0x100,
             offsetof(E, relatedInformationPresent), nullptr, -1},
            {"hostName", XsdType::String, 0x500, offsetof(E, hostName), nullptr, -1},
            {"directoryCategory", XsdType::User, 0x100, offsetof(E, directoryCategory),
             &kDirectoryCategoryMap, -1},
            {"directoryTitle", XsdType::String, 0x500, offsetof(E, directoryTitle), nullptr, -1},
        });

    using D = DirectoryCategory;
    expectMapHeader(kDirectoryCategoryMap, "DirectoryCategory", SoapMapKind::Struct, sizeof(D), 2,
                    0);
    expectEntries(kDirectoryCategoryMap, {
                                             {"fullViewableName", XsdType::String, 0x500,
                                              offsetof(D, fullViewableName), nullptr, -1},
                                             {"specialEncoding", XsdType::String, 0x500,
                                              offsetof(D, specialEncoding), nullptr, -1},
                                         });
}

TEST(GoogleSearchMapsTest, ListsAreParallelAndHeaderMapsEmpty) {
    const SoapMap* const expected[] = {&kDoGetCachedPageMap, &kDoGoogleSearchMap,
                                       &kDoSpellingSuggestionMap};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kGoogleSearchFunctionMaps[i], expected[i]);
        const SoapMap& header = *kGoogleSearchHeaderMaps[i];
        expectMapHeader(header, expected[i]->name, SoapMapKind::Header, 0, 0, 0x5000);
        EXPECT_FALSE(soap::hasEntries(header));
    }
    EXPECT_EQ(kGoogleSearchFunctionMaps[3], nullptr);
    EXPECT_EQ(kGoogleSearchHeaderMaps[3], nullptr);
    EXPECT_EQ(kGoogleSearchFunctionMaps[kDoGoogleSearchIndex], &kDoGoogleSearchMap);
}

TEST(GoogleSearchMapsTest, OperationsAreFoundByName) {
    std::int32_t index = -1;
    const std::u16string_view ns = u"urn:GoogleSearch";
    EXPECT_EQ(soap::findOperation(kGoogleSearchFunctionMaps, u"doGoogleSearch", &ns, index),
              &kDoGoogleSearchMap);
    EXPECT_EQ(index, kDoGoogleSearchIndex);
    EXPECT_EQ(
        soap::findOperation(kGoogleSearchFunctionMaps, u"doSpellingSuggestion", nullptr, index),
        &kDoSpellingSuggestionMap);
    EXPECT_EQ(index, kDoSpellingSuggestionIndex);
    EXPECT_EQ(
        soap::findOperation(kGoogleSearchFunctionMaps, u"doGoogleSearchResponse", nullptr, index),
        nullptr);
}

TEST(GoogleSearchMapsTest, CountEntriesAreNeverMatchedByName) {
    const SoapMapEntry* entry = soap::findEntry(kGoogleSearchResultMap, u"resultElements");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->flags & SoapFlag::DynamicArray, SoapFlag::DynamicArray);
}

} // namespace
} // namespace tarvex::proxy
