#include "soap/text_escaper.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::soap {
namespace {

TEST(TextEscaperTest, MarkupCharactersBecomeEntities) {
    EXPECT_EQ(escapeXml(u"<a & 'b'>", EscapeMode::Content), "&lt;a &amp; 'b'&gt;");
    EXPECT_EQ(escapeXml(u"\"q\"", EscapeMode::Content), "\"q\"");
    EXPECT_EQ(escapeXml(u"<a & 'b' \"c\">", EscapeMode::Attribute),
              "&lt;a &amp; &apos;b&apos; &quot;c&quot;&gt;");
    EXPECT_EQ(escapeXml(u"", EscapeMode::Content), "");
    EXPECT_EQ(escapeXml(u" ~", EscapeMode::Content), " ~") << "printable ASCII stays itself";
}

TEST(TextEscaperTest, EverythingOutsidePrintableAsciiIsAReference) {
    EXPECT_EQ(escapeXml(u"\t\r\n", EscapeMode::Content), "&#x0009;&#x000D;&#x000A;");
    EXPECT_EQ(escapeXml(std::u16string(1, u'\0'), EscapeMode::Content), "&#x0000;");
    EXPECT_EQ(escapeXml(u"\x7F\u00E9\uFFFF", EscapeMode::Content), "&#x007F;&#x00E9;&#xFFFF;");
}

TEST(TextEscaperTest, SurrogatePairsBecomeOneSixDigitReference) {
    EXPECT_EQ(escapeXml(u"\U0001F600", EscapeMode::Content), "&#x01F600;");
    EXPECT_EQ(escapeXml(u"\U0010FFFF", EscapeMode::Content), "&#x10FFFF;");
    EXPECT_EQ(escapeXml(u"a\U00010000b", EscapeMode::Content), "a&#x010000;b");
}

TEST(TextEscaperTest, LoneSurrogatesStandForThemselves) {
    const char16_t high = 0xD83D;
    const char16_t low = 0xDE00;
    EXPECT_EQ(escapeXml(std::u16string{high}, EscapeMode::Content), "&#xD83D;")
        << "high at the end";
    EXPECT_EQ(escapeXml(std::u16string{high, u'x'}, EscapeMode::Content), "&#xD83D;x");
    EXPECT_EQ(escapeXml(std::u16string{low}, EscapeMode::Content), "&#xDE00;");
    EXPECT_EQ(escapeXml(std::u16string{low, high}, EscapeMode::Content), "&#xDE00;&#xD83D;")
        << "a low before a high is no pair";
    EXPECT_EQ(escapeXml(std::u16string{high, high, low}, EscapeMode::Content),
              "&#xD83D;&#x01F600;");
}

TEST(TextEscaperTest, LengthMatchesTheText) {
    const std::u16string text = u"<\U0001F600&\t\u00E9x";
    EXPECT_EQ(escapedLength(text, EscapeMode::Content),
              escapeXml(text, EscapeMode::Content).size());
}

TEST(TextEscaperTest, SinkGetsTheSameTextAcrossItsBufferBoundaries) {
    // Long enough to fill the writer's buffer several times, with pieces straddling its end.
    std::u16string text;
    for (int i = 0; i < 700; ++i) {
        text += (i % 3 == 0) ? u"\U0001F600" : (i % 3 == 1 ? u"&" : u"z");
    }
    StringSink sink;
    ASSERT_EQ(writeEscaped(sink, text, EscapeMode::Content), kOk);
    EXPECT_EQ(sink.text(), escapeXml(text, EscapeMode::Content));
}

TEST(TextEscaperTest, SinkFailureStopsTheWrite) {
    test::FailingSink sink{0, kFail};
    EXPECT_EQ(writeEscaped(sink, u"abc", EscapeMode::Content), kFail);
    EXPECT_EQ(writeEscaped(sink, u"", EscapeMode::Content), kOk)
        << "nothing to write, nothing written";
}

} // namespace
} // namespace tarvex::soap
