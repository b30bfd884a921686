#include "base/sys_string.h"
#include "soap/xsd_codec.h"
#include "soap/xsd_types.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarvex::soap {
namespace {

class XsdFormatTest : public ::testing::Test {
protected:
    template <class T>
    std::string format(XsdType type, const T& value) {
        StringSink sink;
        const HResult status = formatXsdValue(type, &value, sink, m_memory);
        EXPECT_EQ(status, kOk);
        return sink.text();
    }

    std::string base64(const std::vector<std::uint8_t>& bytes) {
        XsdBinary block{static_cast<std::int32_t>(bytes.size()),
                        const_cast<std::uint8_t*>(bytes.data())};
        return format(XsdType::Base64Binary, block);
    }

    void TearDown() override { EXPECT_EQ(m_memory.outstanding, 0); }

    test::CountingMemory m_memory;
};

TEST_F(XsdFormatTest, DoubleSpecialValues) {
    EXPECT_EQ(format(XsdType::Double, std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(format(XsdType::Double, std::numeric_limits<double>::signaling_NaN()), "NaN");
    EXPECT_EQ(format(XsdType::Double, std::bit_cast<double>(std::uint64_t{0xFFF8000000000000U})),
              "NaN");
    EXPECT_EQ(format(XsdType::Double, std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(format(XsdType::Double, -std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(format(XsdType::Double, -0.0), "-0");
    EXPECT_EQ(format(XsdType::Double, 0.0), "0");
}

TEST_F(XsdFormatTest, DoublePlainNotationFromOneTenthUp) {
    const std::pair<double, std::string> cases[] = {
        {2.5, "2.5"},
        {10.0, "10"},
        {-12.0, "-12"},
        {1e20, "100000000000000000000"},
        {0.1, "0.1"},
        {0.3, "0.3"},
        {0.1 + 0.2, "0.30000000000000004"},
        {0.5, "0.5"},
        {123456789012345678.0, "123456789012345680"},
        {1.0 / 3.0, "0.3333333333333333"},
        {2.0 / 3.0, "0.6666666666666666"},
        {1.7976931348623157e308, "17976931348623157" + std::string(292, '0')},
        {0.126511, "0.126511"},
        {9007199254740993.0, "9007199254740992"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(format(XsdType::Double, value), expected) << value;
    }
}

TEST_F(XsdFormatTest, DoubleExponentNotationBelowOneTenth) {
    const std::pair<double, const char*> cases[] = {
        {0.05, "5.e-002"},
        {-0.05, "-5.e-002"},
        {0.0123, "1.23e-002"},
        {1e-5, "1.e-005"},
        {0.012345678901234568, "1.2345678901234568e-002"},
        {0.099999999999999992, "9.999999999999999e-002"},
        {5e-324, "5.e-324"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(format(XsdType::Double, value), expected) << value;
    }
}

TEST_F(XsdFormatTest, FloatIsWidenedFirst) {
    EXPECT_EQ(format(XsdType::Float, 0.1F), "0.10000000149011612");
    EXPECT_EQ(format(XsdType::Float, 2.5F), "2.5");
}

TEST_F(XsdFormatTest, IntegersInDecimal) {
    EXPECT_EQ(format(XsdType::Int, std::int32_t{-12}), "-12");
    EXPECT_EQ(format(XsdType::Short, std::int16_t{-32768}), "-32768");
    EXPECT_EQ(format(XsdType::Byte, std::int8_t{-1}), "-1");
    EXPECT_EQ(format(XsdType::UnsignedByte, std::uint8_t{255}), "255");
    EXPECT_EQ(format(XsdType::UnsignedInt, std::uint32_t{4294967295U}), "4294967295");
    EXPECT_EQ(format(XsdType::Long, std::numeric_limits<std::int64_t>::min()),
              "-9223372036854775808");
    EXPECT_EQ(format(XsdType::PositiveInteger, std::numeric_limits<std::uint64_t>::max()),
              "18446744073709551615");
}

TEST_F(XsdFormatTest, BooleanIsTrueOnlyForOne) {
    EXPECT_EQ(format(XsdType::Boolean, std::uint8_t{1}), "true");
    EXPECT_EQ(format(XsdType::Boolean, std::uint8_t{0}), "false");
    EXPECT_EQ(format(XsdType::Boolean, std::uint8_t{2}), "false");
}

TEST_F(XsdFormatTest, Base64BreaksLinesAfterEvery57Bytes) {
    EXPECT_EQ(base64({'A', 'B', 'C'}), "QUJD");
    EXPECT_EQ(base64({'A', 'B'}), "QUI=");
    EXPECT_EQ(base64({'A'}), "QQ==");
    EXPECT_EQ(base64({}), "");

    const std::string line57 = base64(std::vector<std::uint8_t>(57, 0xFF));
    EXPECT_EQ(line57, std::string(76, '/') + "\r\n");
    const std::string line58 = base64(std::vector<std::uint8_t>(58, 0xFF));
    EXPECT_EQ(line58, std::string(76, '/') + "\r\n" + "/w==");
    const std::string lines114 = base64(std::vector<std::uint8_t>(114, 0));
    EXPECT_EQ(lines114, std::string(76, 'A') + "\r\n" + std::string(76, 'A') + "\r\n");
    EXPECT_EQ(base64(std::vector<std::uint8_t>(56, 0)), std::string(75, 'A') + "=")
        << "a last full line that is not 57 bytes has no line break";
    EXPECT_EQ(base64(std::vector<std::uint8_t>(113, 0)),
              std::string(76, 'A') + "\r\n" + std::string(75, 'A') + "=");
}

TEST_F(XsdFormatTest, Base64RoundTripsThroughTheParser) {
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const std::string text = base64(bytes);
    const std::u16string wide(text.begin(), text.end());
    XsdBinary parsed{};
    ASSERT_EQ(parseXsdValue(XsdType::Base64Binary, wide.data(),
                            static_cast<std::int32_t>(wide.size()), &parsed, m_memory),
              kOk);
    ASSERT_EQ(parsed.size, 1000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), parsed.data));
    m_memory.release(parsed.data);
}

TEST_F(XsdFormatTest, HexInUpperCase) {
    std::uint8_t bytes[] = {0x00, 0xAB, 0x7f};
    EXPECT_EQ(format(XsdType::HexBinary, XsdBinary{3, bytes}), "00AB7F");
}

TEST_F(XsdFormatTest, BinaryWithoutScratchMemoryFails) {
    std::uint8_t bytes[] = {1, 2, 3};
    const XsdBinary block{3, bytes};
    m_memory.refuse = true;
    StringSink sink;
    EXPECT_EQ(formatXsdValue(XsdType::Base64Binary, &block, sink, m_memory), kFail);
    EXPECT_EQ(formatXsdValue(XsdType::HexBinary, &block, sink, m_memory), kFail);
    EXPECT_EQ(sink.text(), "");
}

TEST_F(XsdFormatTest, StringsAreEscaped) {
    const UniqueSysString text{sysAllocString(u"a<b&c>'d\"\u00E9")};
    EXPECT_EQ(format(XsdType::String, text.get()), "a&lt;b&amp;c&gt;'d\"&#x00E9;");
    EXPECT_EQ(format(XsdType::Token, text.get()), "a&lt;b&amp;c&gt;'d\"&#x00E9;");
}

TEST_F(XsdFormatTest, UserErrorAndApplicationTypesFail) {
    StringSink sink;
    const std::int64_t value = 0;
    for (const XsdType type : {XsdType::User, XsdType::Error, XsdType::UserBase}) {
        EXPECT_EQ(formatXsdValue(type, &value, sink, m_memory), kFail);
    }
    EXPECT_EQ(formatXsdValue(XsdType::Int, nullptr, sink, m_memory), kPointer);
    EXPECT_EQ(sink.text(), "");
}

TEST_F(XsdFormatTest, SinkFailureIsPassedUp) {
    test::FailingSink sink{0, kOutOfMemory};
    const std::int32_t value = 5;
    EXPECT_EQ(formatXsdValue(XsdType::Int, &value, sink, m_memory), kOutOfMemory);
    std::uint8_t bytes[] = {1, 2, 3};
    const XsdBinary block{3, bytes};
    EXPECT_EQ(formatXsdValue(XsdType::Base64Binary, &block, sink, m_memory), kOutOfMemory);
}

} // namespace
} // namespace tarvex::soap
