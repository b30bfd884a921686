#include "base/sys_string.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tarvex::soap {
namespace {

template <class T>
HResult parse(XsdType type, std::u16string_view text, T& value, MemoryManager& memory) {
    return parseXsdValue(type, text.data(), static_cast<std::int32_t>(text.size()), &value, memory);
}

class XsdParseTest : public ::testing::Test {
protected:
    template <class T>
    HResult parse(XsdType type, std::u16string_view text, T& value) {
        return soap::parse(type, text, value, m_memory);
    }

    void TearDown() override { EXPECT_EQ(m_memory.outstanding, 0); }

    test::CountingMemory m_memory;
};

TEST_F(XsdParseTest, BooleanTakesOnlyTheFourExactWords) {
    for (const auto& [text, expected] :
         {std::pair{u"true", 1}, {u"1", 1}, {u"false", 0}, {u"0", 0}}) {
        std::uint8_t value = 7;
        EXPECT_EQ(parse(XsdType::Boolean, text, value), kOk) << std::u16string(text).size();
        EXPECT_EQ(value, expected);
    }
    for (const char16_t* text : {u"True", u" true", u"true ", u"yes", u"", u"01", u"tru"}) {
        std::uint8_t value = 1;
        EXPECT_EQ(parse(XsdType::Boolean, text, value), kFail);
        EXPECT_EQ(value, 0) << "a failed boolean is left at 0";
    }
}

TEST_F(XsdParseTest, DoubleSpecialWordsAndDecimalText) {
    double value = 0;
    ASSERT_EQ(parse(XsdType::Double, u"INF", value), kOk);
    EXPECT_EQ(value, std::numeric_limits<double>::infinity());
    ASSERT_EQ(parse(XsdType::Double, u"-INF", value), kOk);
    EXPECT_EQ(value, -std::numeric_limits<double>::infinity());
    ASSERT_EQ(parse(XsdType::Double, u"NaN", value), kOk);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), 0xFFF8000000000000U);

    const std::pair<const char16_t*, double> cases[] = {
        {u"0.126511", 0.126511},
        {u"  -2.5e3xyz", -2500.0},
        {u"+.5", 0.5},
        {u"7.", 7.0},
        {u"1e", 1.0},
        {u"letters", 0.0},
        {u"", 0.0},
        {u"5.e-002", 0.05},
        {u"inf", 0.0},
        {u"0x10", 0.0},
        {u"1E+2", 100.0},
        {u"\t\n 42", 42.0},
    };
    for (const auto& [text, expected] : cases) {
        value = -1;
        EXPECT_EQ(parse(XsdType::Double, text, value), kOk);
        EXPECT_EQ(value, expected);
    }
}

TEST_F(XsdParseTest, DoubleOutOfRangeFails) {
    double value = 0;
    EXPECT_EQ(parse(XsdType::Double, u"1.0E400", value), kFail);
    EXPECT_TRUE(std::isinf(value) && value > 0);
    EXPECT_EQ(parse(XsdType::Double, u"-1e400", value), kFail);
    EXPECT_TRUE(std::isinf(value) && value < 0);
    EXPECT_EQ(parse(XsdType::Double, u"1e-400", value), kFail);
    EXPECT_EQ(value, 0.0);
    // Without an exponent the magnitude comes from the digits alone.
    EXPECT_EQ(parse(XsdType::Double, u"0." + std::u16string(400, u'0') + u"1", value), kFail);
    EXPECT_EQ(parse(XsdType::Double, u"1" + std::u16string(400, u'0'), value), kFail);
    // Subnormals are still representable.
    EXPECT_EQ(parse(XsdType::Double, u"4.9e-324", value), kOk);
    EXPECT_GT(value, 0.0);
    // Many digits that stay in range are fine.
    EXPECT_EQ(parse(XsdType::Double, u"0000000000000000000000000000000000000001.5", value), kOk);
    EXPECT_EQ(value, 1.5);
}

TEST_F(XsdParseTest, FloatAndDecimalFollowDouble) {
    float f = 0;
    EXPECT_EQ(parse(XsdType::Float, u"0.1", f), kOk);
    EXPECT_EQ(f, 0.1F);
    EXPECT_EQ(parse(XsdType::Float, u"1e39", f), kOk) << "in double range: narrowed, not failed";
    EXPECT_TRUE(std::isinf(f));
    EXPECT_EQ(parse(XsdType::Float, u"1e400", f), kFail);
    double d = 0;
    EXPECT_EQ(parse(XsdType::Decimal, u"12.75", d), kOk);
    EXPECT_EQ(d, 12.75);
}

TEST_F(XsdParseTest, IntegersAreLenientAndNeverFail) {
    std::int32_t i32 = 0;
    EXPECT_EQ(parse(XsdType::Int, u"12abc", i32), kOk);
    EXPECT_EQ(i32, 12);
    EXPECT_EQ(parse(XsdType::Int, u"  -42", i32), kOk);
    EXPECT_EQ(i32, -42);
    EXPECT_EQ(parse(XsdType::Int, u"4294967297", i32), kOk);
    EXPECT_EQ(i32, 1) << "32-bit wrap-around";
    EXPECT_EQ(parse(XsdType::Int, u"abc", i32), kOk);
    EXPECT_EQ(i32, 0);

    std::int16_t i16 = 0;
    EXPECT_EQ(parse(XsdType::Short, u"65537", i16), kOk);
    EXPECT_EQ(i16, 1);
    std::int8_t i8 = 0;
    EXPECT_EQ(parse(XsdType::Byte, u"-129", i8), kOk);
    EXPECT_EQ(i8, 127);

    std::uint8_t u8 = 0;
    EXPECT_EQ(parse(XsdType::UnsignedByte, u"300", u8), kOk);
    EXPECT_EQ(u8, 44);
    std::uint32_t u32 = 0;
    EXPECT_EQ(parse(XsdType::UnsignedInt, u"-1", u32), kOk);
    EXPECT_EQ(u32, 0xFFFFFFFFU);
    EXPECT_EQ(parse(XsdType::UnsignedInt, u"99999999999", u32), kOk);
    EXPECT_EQ(u32, 0xFFFFFFFFU) << "overflow saturates";
    std::uint16_t u16 = 0;
    EXPECT_EQ(parse(XsdType::UnsignedShort, u"-2", u16), kOk);
    EXPECT_EQ(u16, 0xFFFE);
}

TEST_F(XsdParseTest, SixtyFourBitIntegersClampOrWrapLikeTheCLibrary) {
    std::int64_t s = 0;
    EXPECT_EQ(parse(XsdType::Long, u"-9223372036854775808", s), kOk);
    EXPECT_EQ(s, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parse(XsdType::Integer, u"99999999999999999999", s), kOk);
    EXPECT_EQ(s, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parse(XsdType::NegativeInteger, u"-99999999999999999999", s), kOk);
    EXPECT_EQ(s, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parse(XsdType::NegativeInteger, u"7", s), kOk) << "value space is not checked";
    EXPECT_EQ(s, 7);

    std::uint64_t u = 0;
    EXPECT_EQ(parse(XsdType::NonNegativeInteger, u"-5", u), kOk);
    EXPECT_EQ(u, std::numeric_limits<std::uint64_t>::max() - 4);
    EXPECT_EQ(parse(XsdType::UnsignedLong, u"18446744073709551616", u), kOk);
    EXPECT_EQ(u, std::numeric_limits<std::uint64_t>::max());
}

TEST_F(XsdParseTest, Base64SkipsEverythingOutsideTheAlphabet) {
    const std::pair<const char16_t*, std::string> cases[] = {
        {u"QUJD", "ABC"},      {u"QUI=", "AB"},     {u"QU\r\nJD", "ABC"},
        {u" Q U J D ", "ABC"}, {u"QUJDRA", "ABCD"}, {u"SGVsbG8sIHdvcmxk", "Hello, world"},
    };
    for (const auto& [text, expected] : cases) {
        XsdBinary block{};
        ASSERT_EQ(parse(XsdType::Base64Binary, text, block), kOk);
        ASSERT_EQ(block.size, static_cast<std::int32_t>(expected.size()));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block.data), expected.size()), expected);
        m_memory.release(block.data);
    }
    XsdBinary empty{};
    EXPECT_EQ(parse(XsdType::Base64Binary, u"", empty), kOk);
    EXPECT_EQ(empty.size, 0);
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(parse(XsdType::Base64Binary, u"Q===", empty), kOk) << "one character carries no byte";
    EXPECT_EQ(empty.data, nullptr);
}

TEST_F(XsdParseTest, BinaryIntoAFilledBlockIsAnInvalidArgument) {
    std::uint8_t existing = 1;
    XsdBinary block{1, &existing};
    EXPECT_EQ(parse(XsdType::Base64Binary, u"QUJD", block), kInvalidArg);
    EXPECT_EQ(parse(XsdType::HexBinary, u"00", block), kInvalidArg);
    EXPECT_EQ(block.data, &existing);
}

// Regression: a binary value whose block could not be had was stored empty with success, so a
// page past the parse's memory budget came back blank instead of failing.
TEST_F(XsdParseTest, BinaryWithoutMemoryIsOutOfMemoryAndStaysEmpty) {
    m_memory.refuse = true;
    XsdBinary block{};
    EXPECT_EQ(parse(XsdType::Base64Binary, u"QUJD", block), kOutOfMemory);
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(parse(XsdType::HexBinary, u"0A0B", block), kOutOfMemory);
    EXPECT_EQ(block.data, nullptr);
    m_memory.refuse = false;
    EXPECT_EQ(parse(XsdType::Base64Binary, u"", block), kOk) << "an empty text is no failure";
    EXPECT_EQ(block.data, nullptr);
}

TEST_F(XsdParseTest, HexTakesDigitPairsOfEitherCase) {
    XsdBinary block{};
    ASSERT_EQ(parse(XsdType::HexBinary, u"0aFf7B", block), kOk);
    ASSERT_EQ(block.size, 3);
    EXPECT_EQ(block.data[0], 0x0A);
    EXPECT_EQ(block.data[1], 0xFF);
    EXPECT_EQ(block.data[2], 0x7B);
    m_memory.release(block.data);

    for (const char16_t* bad : {u"0G", u"0A 0B", u"ABC", u"-1"}) {
        XsdBinary rejected{};
        EXPECT_EQ(parse(XsdType::HexBinary, bad, rejected), kOk);
        EXPECT_EQ(rejected.size, 0);
        EXPECT_EQ(rejected.data, nullptr);
    }
}

TEST_F(XsdParseTest, StringsKeepTheExactTextAndReplaceAnEarlierValue) {
    SysString value = nullptr;
    ASSERT_EQ(parse(XsdType::String, u"", value), kOk);
    ASSERT_NE(value, nullptr) << "an empty text is an empty string, not an absent one";
    EXPECT_EQ(sysStringLen(value), 0U);
    const std::u16string withNul{u"a\0b", 3};
    ASSERT_EQ(parse(XsdType::AnyUri, withNul, value), kOk);
    EXPECT_EQ(sysStringView(value), withNul);
    for (const XsdType type :
         {XsdType::Duration, XsdType::NcName, XsdType::DateTime, XsdType::GDay}) {
        ASSERT_EQ(parse(type, u"x", value), kOk);
        EXPECT_EQ(sysStringView(value), u"x");
    }
    sysFreeString(value);
}

TEST_F(XsdParseTest, UserErrorAndApplicationTypesFail) {
    std::int64_t sink = 0;
    for (const XsdType type :
         {XsdType::User, XsdType::Error, XsdType::UserBase, static_cast<XsdType>(44)}) {
        EXPECT_EQ(parse(type, u"1", sink), kFail);
    }
}

TEST_F(XsdParseTest, NullPointersAreRejected) {
    std::int32_t value = 0;
    EXPECT_EQ(parseXsdValue(XsdType::Int, u"1", 1, nullptr, m_memory), kPointer);
    EXPECT_EQ(parseXsdValue(XsdType::Int, nullptr, 1, &value, m_memory), kPointer);
    EXPECT_EQ(parseXsdValue(XsdType::Int, u"1", -1, &value, m_memory), kInvalidArg);
}

} // namespace
} // namespace tarvex::soap
