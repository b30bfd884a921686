#include "base/code_page.h"
#include "base/sys_string.h"
#include "soap/map_lookup.h"
#include "soap/soap_map.h"
#include "soap/xsd_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvex::soap {
namespace {

TEST(SoapHashTest, KnownNames) {
    static_assert(soapHash("q", 1) == 0x71);
    static_assert(soapHash("lr", 2) == 0xE5E);
    static_assert(soapHash("key", 3) == 0x1D4A9);
    EXPECT_EQ(soapHash(u"key", 3), 0x1D4A9U) << "UTF-16 names hash by code unit like byte names";
    EXPECT_EQ(soapHash("", 0), 0U);
    // Long names wrap in 32 bits instead of overflowing.
    const std::string longName(40, 'z');
    std::uint32_t expected = 0;
    for (const char c : longName) {
        expected = expected * 33U + static_cast<unsigned char>(c);
    }
    EXPECT_EQ(soapHash(longName.data(), longName.size()), expected);
}

TEST(XsdTypesTest, NamesFollowTheTypeCodes) {
    EXPECT_STREQ(xsdTypeName(XsdType::String)->name, "string");
    EXPECT_STREQ(xsdTypeName(XsdType::Int)->name, "int");
    EXPECT_EQ(xsdTypeName(XsdType::Int)->length, 3);
    EXPECT_EQ(std::u16string{xsdTypeName(XsdType::Base64Binary)->wide}, u"base64Binary");
    EXPECT_STREQ(xsdTypeName(XsdType::AnyUri)->name, "anyURI");
    EXPECT_STREQ(xsdTypeName(XsdType::NcName)->name, "NCName");
    EXPECT_STREQ(xsdTypeName(XsdType::GDay)->name, "gDay");
    for (const XsdType type :
         {XsdType::User, XsdType::Error, XsdType::UserBase, static_cast<XsdType>(44)}) {
        EXPECT_EQ(xsdTypeName(type), nullptr);
    }
}

TEST(XsdTypesTest, MemorySizesMatchTheInMemoryForms) {
    EXPECT_EQ(xsdMemorySize(XsdType::Boolean), 1U);
    EXPECT_EQ(xsdMemorySize(XsdType::UnsignedByte), 1U);
    EXPECT_EQ(xsdMemorySize(XsdType::Short), 2U);
    EXPECT_EQ(xsdMemorySize(XsdType::Int), 4U);
    EXPECT_EQ(xsdMemorySize(XsdType::Float), 4U);
    EXPECT_EQ(xsdMemorySize(XsdType::Double), 8U);
    EXPECT_EQ(xsdMemorySize(XsdType::Decimal), 8U);
    EXPECT_EQ(xsdMemorySize(XsdType::PositiveInteger), 8U);
    EXPECT_EQ(xsdMemorySize(XsdType::String), sizeof(void*));
    EXPECT_EQ(xsdMemorySize(XsdType::DateTime), sizeof(void*));
    EXPECT_EQ(xsdMemorySize(XsdType::Base64Binary), sizeof(XsdBinary));
    EXPECT_EQ(xsdMemorySize(XsdType::User), 0U);
    EXPECT_EQ(xsdMemorySize(XsdType::Error), 0U);
    EXPECT_EQ(xsdMemorySize(XsdType::UserBase), 0U);
}

constexpr SoapMapEntry kNoEntries[] = {endOfEntries()};
constexpr SoapMap kFirst = soapMap("alpha", u"alpha", SoapMapKind::Function, kNoEntries, 0, 1,
                                   MapOptions{0, "urn:one", u"urn:one"});
constexpr SoapMap kSecond = soapMap("alpha", u"alpha", SoapMapKind::Function, kNoEntries, 0, 1,
                                    MapOptions{0, "urn:two", u"urn:two"});
constexpr SoapMap kThird = soapMap("beta", u"beta", SoapMapKind::Function, kNoEntries, 0, 1);
constexpr const SoapMap* kOperations[] = {&kFirst, &kSecond, &kThird, nullptr};

TEST(MapLookupTest, OperationsByNameAndNamespace) {
    std::int32_t index = -1;
    EXPECT_EQ(findOperation(kOperations, u"beta", nullptr, index), &kThird);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(findOperation(kOperations, u"alpha", nullptr, index), &kFirst) << "first match wins";
    const std::u16string_view two = u"urn:two";
    EXPECT_EQ(findOperation(kOperations, u"alpha", &two, index), &kSecond);
    EXPECT_EQ(index, 1);
    const std::u16string_view other = u"urn:three";
    EXPECT_EQ(findOperation(kOperations, u"alpha", &other, index), nullptr);
    EXPECT_EQ(findOperation(kOperations, u"alphabet", nullptr, index), nullptr);
    EXPECT_EQ(findOperation(kOperations, u"", nullptr, index), nullptr);
}

TEST(MapLookupTest, EmptyEntryArrayHasNoElements) {
    EXPECT_FALSE(hasEntries(kFirst));
    EXPECT_EQ(findEntry(kFirst, u"anything"), nullptr);
}

TEST(SysStringTest, KeepsLengthAndEmbeddedNuls) {
    const std::u16string text{u"a\0b", 3};
    const UniqueSysString copy{sysAllocString(text)};
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(sysStringLen(copy.get()), 3U);
    EXPECT_EQ(copy.get()[3], 0) << "terminated after the text";
    EXPECT_EQ(sysStringView(copy.get()), text);
    EXPECT_EQ(sysStringLen(nullptr), 0U);
    const UniqueSysString zeroed{sysAllocStringLen(nullptr, 2)};
    EXPECT_EQ(sysStringView(zeroed.get()), std::u16string(2, u'\0'));
}

TEST(SysStringTest, FreedStringsOfEverySizeComeBackIntact) {
    // Strings freed and allocated again in every size (the release build reuses freed blocks).
    for (int round = 0; round < 3; ++round) {
        std::vector<SysString> strings;
        for (std::uint32_t length = 0; length < 700; length += 7) {
            strings.push_back(
                sysAllocString(std::u16string(length, static_cast<char16_t>(u'a' + length % 26))));
        }
        for (std::size_t i = 0; i < strings.size(); ++i) {
            const auto length = static_cast<std::uint32_t>(i * 7);
            ASSERT_EQ(sysStringLen(strings[i]), length);
            EXPECT_EQ(sysStringView(strings[i]),
                      std::u16string(length, static_cast<char16_t>(u'a' + length % 26)));
            EXPECT_EQ(strings[i][length], 0);
        }
        for (const SysString text : strings) {
            sysFreeString(text);
        }
    }
}

TEST(CodePageTest, Utf8RoundTrips) {
    const std::string text = "caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x84\xA2";
    const std::u16string wide = codePageToUtf16(text);
    EXPECT_EQ(wide, u"caf\u00E9 \U0001F600 \u2122");
    EXPECT_EQ(utf16ToCodePage(wide), text);
}

TEST(CodePageTest, IllFormedInputBecomesReplacementCharacters) {
    EXPECT_EQ(codePageToUtf16("a\xFF"
                              "b"),
              u"a\uFFFDb");
    EXPECT_EQ(codePageToUtf16("\xC3"), u"\uFFFD") << "truncated at the end";
    EXPECT_EQ(codePageToUtf16("\xE2\x84"
                              "x"),
              u"\uFFFDx")
        << "truncated in the middle";
    EXPECT_EQ(codePageToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong form";
    EXPECT_EQ(codePageToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
    EXPECT_EQ(utf16ToCodePage(std::u16string{char16_t{0xD800}, u'x'}), "\xEF\xBF\xBDx");
}

} // namespace
} // namespace tarvex::soap
