#include "base/code_page.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"
#include "soap/text_collector.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::soap {
namespace {

std::string narrow(std::u16string_view text) {
    return utf16ToCodePage(text);
}

// Writes every event into a log line; can be told to fail at an element.
class RecordingHandler : public SaxContentHandler {
public:
    HResult startElement(std::u16string_view uri, std::u16string_view local,
                         std::u16string_view qname, const SaxAttributes& attributes) override {
        log += "<" + narrow(qname) + "{" + narrow(uri) + "}" + narrow(local);
        for (int i = 0; i < attributes.count(); ++i) {
            std::u16string_view aUri;
            std::u16string_view aLocal;
            std::u16string_view aQname;
            std::u16string_view value;
            EXPECT_EQ(attributes.name(i, aUri, aLocal, aQname), kOk);
            EXPECT_EQ(attributes.value(i, value), kOk);
            log += " " + narrow(aQname) + "{" + narrow(aUri) + "}=" + narrow(value);
        }
        log += ">";
        if (narrow(local) == failAt) {
            return kOutOfMemory;
        }
        return kOk;
    }
    HResult endElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                       std::u16string_view qname) override {
        log += "</" + narrow(qname) + ">";
        return kOk;
    }
    HResult characters(std::u16string_view text) override {
        log += narrow(text);
        return kOk;
    }
    HResult startPrefixMapping(std::u16string_view prefix, std::u16string_view uri) override {
        log += "[" + narrow(prefix) + "=" + narrow(uri) + "]";
        return kOk;
    }

    std::string log;
    std::string failAt;
};

class SaxReaderTest : public ::testing::TestWithParam<std::size_t> {
protected:
    HResult parse(std::string_view xml, SaxContentHandler& handler) {
        m_reader->setContentHandler(&handler);
        MemoryStream stream{xml, GetParam()};
        return m_reader->parse(stream);
    }

    std::unique_ptr<SaxReader> m_reader = createSaxReader();
};

INSTANTIATE_TEST_SUITE_P(Chunks, SaxReaderTest, ::testing::Values(0, 1, 3));

TEST_P(SaxReaderTest, NamesUrisPrefixesAndText) {
    RecordingHandler handler;
    ASSERT_EQ(
        parse(
            R"(<?xml version="1.0"?><a:x xmlns:a="urn:a" xmlns="urn:d"><y k="1" a:k="2">t&amp;&#x20AC;&lt;</y></a:x>)",
            handler),
        kOk);
    EXPECT_EQ(
        handler.log,
        "[a=urn:a][=urn:d]<a:x{urn:a}x><y{urn:d}y k{}=1 a:k{urn:a}=2>t&\xE2\x82\xAC<</y></a:x>");
}

TEST_P(SaxReaderTest, AttributeLookUps) {
    struct Handler : RecordingHandler {
        HResult startElement(std::u16string_view uri, std::u16string_view local,
                             std::u16string_view qname, const SaxAttributes& attributes) override {
            if (local == u"e") {
                std::u16string_view value;
                EXPECT_EQ(attributes.valueByName(u"urn:s", u"nil", value), kOk);
                EXPECT_EQ(value, u"true");
                EXPECT_EQ(attributes.valueByQName(u"href", value), kOk);
                EXPECT_EQ(value, u"#a & b");
                EXPECT_TRUE(failed(attributes.valueByName(u"", u"nil", value)));
                EXPECT_TRUE(failed(attributes.valueByQName(u"id", value)));
                std::u16string_view u;
                std::u16string_view l;
                std::u16string_view q;
                EXPECT_TRUE(failed(attributes.name(2, u, l, q)));
                found = true;
            }
            return RecordingHandler::startElement(uri, local, qname, attributes);
        }
        bool found = false;
    } handler;
    ASSERT_EQ(parse(R"(<r xmlns:s="urn:s"><e s:nil="true" href="#a &amp; b"/></r>)", handler), kOk);
    EXPECT_TRUE(handler.found);
}

TEST_P(SaxReaderTest, HandlerFailureStopsTheParseWithItsStatus) {
    RecordingHandler handler;
    handler.failAt = "b";
    EXPECT_EQ(parse("<a><b/><c/></a>", handler), kOutOfMemory);
    EXPECT_EQ(handler.log.find("<c"), std::string::npos) << "no event after the failure";
}

TEST_P(SaxReaderTest, MalformedAndForbiddenInputFails) {
    const char* bad[] = {
        "<a><b></a>",
        "<a>",
        "",
        "<p:a/>",
        "<!DOCTYPE a><a/>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>",
        "<a>&undefined;</a>",
        "<a/><b/>",
        "\xFF\xFE<",
    };
    for (const char* xml : bad) {
        RecordingHandler handler;
        EXPECT_TRUE(failed(parse(xml, handler))) << xml;
    }
}

TEST_P(SaxReaderTest, NestingIsLimited) {
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth) * 3, ' ')
            .replace(0, std::string::npos, [&] {
                std::string text;
                for (int i = 0; i < depth; ++i) {
                    text += "<a>";
                }
                for (int i = 0; i < depth; ++i) {
                    text += "</a>";
                }
                return text;
            }());
    };
    RecordingHandler handler;
    EXPECT_EQ(parse(nested(SaxReader::kMaxElementDepth), handler), kOk);
    EXPECT_TRUE(failed(parse(nested(SaxReader::kMaxElementDepth + 1), handler)));
}

// An element with `count` attributes, `namespaces` of them namespace declarations.
std::string manyAttributes(int count, int namespaces = 0) {
    std::string xml = "<r><e";
    for (int i = 0; i < count; ++i) {
        xml += (i < namespaces ? " xmlns:p" : " a") + std::to_string(i) +
               (i < namespaces ? "='urn:n'" : "='v>'");
    }
    return xml + "/></r>";
}

// Hands a memory stream on and counts the bytes the reader took from it.
class CountedStream final : public ByteStream {
public:
    CountedStream(std::string_view bytes, std::size_t chunk) : m_inner(bytes, chunk) {}
    HResult read(char* buffer, std::size_t capacity, std::size_t& count) override {
        const HResult status = m_inner.read(buffer, capacity, count);
        taken += count;
        return status;
    }
    HResult next(std::string_view& chunk, char* scratch, std::size_t capacity) override {
        const HResult status = m_inner.next(chunk, scratch, capacity);
        taken += chunk.size();
        return status;
    }
    bool atEnd() const override { return m_inner.atEnd(); }
    std::size_t taken = 0;

private:
    MemoryStream m_inner;
};

TEST_P(SaxReaderTest, ElementsWithTooManyAttributesFail) {
    RecordingHandler handler;
    EXPECT_EQ(parse(manyAttributes(SaxReader::kMaxAttributes), handler), kOk);
    EXPECT_EQ(parse(manyAttributes(SaxReader::kMaxAttributes + 1), handler), kFail);
    EXPECT_EQ(parse(manyAttributes(SaxReader::kMaxAttributes, 10), handler), kOk);
    EXPECT_EQ(parse(manyAttributes(SaxReader::kMaxAttributes + 1, 10), handler), kFail)
        << "namespace declarations count";
}

// Regression: libxml2 compares every attribute of a tag with every other once the tag has
// ended, so one element with 100,000 attributes took seconds before it was refused.
TEST_P(SaxReaderTest, ATagWithTooManyAttributesIsRefusedBeforeItEnds) {
    const std::string xml = manyAttributes(100000);
    RecordingHandler handler;
    m_reader->setContentHandler(&handler);
    CountedStream stream{xml, GetParam()};
    EXPECT_EQ(m_reader->parse(stream), kFail);
    EXPECT_LT(stream.taken, std::size_t{64} << 10) << "of " << xml.size() << " bytes";
    EXPECT_EQ(handler.log, "<r{}r>");
}

TEST_P(SaxReaderTest, OtherDeclaredEncodingsFailBeforeAnyElement) {
    RecordingHandler handler;
    EXPECT_EQ(parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>", handler),
              kFail);
    EXPECT_EQ(handler.log, "");
}

// A handler that hands the reader to a text collector for every element named "s".
class CollectingOwner : public RecordingHandler {
public:
    explicit CollectingOwner(SaxReader& reader) : m_reader(reader) {}
    HResult startElement(std::u16string_view uri, std::u16string_view local,
                         std::u16string_view qname, const SaxAttributes& attributes) override {
        const HResult status = RecordingHandler::startElement(uri, local, qname, attributes);
        if (local == u"s") {
            m_collector.install(m_reader, *this);
        } else if (local == u"skip") {
            m_skip.install(m_reader, *this);
        }
        return status;
    }
    HResult characters(std::u16string_view text) override {
        log += "(" + narrow(text) + ")";
        return kOk;
    }

private:
    SaxReader& m_reader;
    TextCollector m_collector;
    SkipHandler m_skip;
};

TEST_P(SaxReaderTest, TextCollectorRecreatesNestedMarkup) {
    CollectingOwner owner{*m_reader};
    ASSERT_EQ(
        parse(R"(<r><s>a &amp; <i x="1" y='2"'>b<br/></i> c</s><s></s><s/><t>d</t></r>)", owner),
        kOk);
    EXPECT_EQ(owner.log,
              "<r{}r><s{}s>(a & <i x=\"1\" y=\"2\"\">b<br></br></i> c)</s><s{}s>()</s><s{}s>()</s>"
              "<t{}t>(d)</t></r>");
    EXPECT_EQ(m_reader->contentHandler(), &owner) << "the owner has the reader back";
}

TEST_P(SaxReaderTest, SkipHandlerSwallowsAWholeElement) {
    CollectingOwner owner{*m_reader};
    ASSERT_EQ(parse("<r><skip><skip>x</skip><y/>z</skip><t>d</t></r>", owner), kOk);
    EXPECT_EQ(owner.log, "<r{}r><skip{}skip><t{}t>(d)</t></r>")
        << "the skipped end is not passed on";
}

TEST_P(SaxReaderTest, CollectorFailureOfTheOwnerStillHandsTheReaderBack) {
    struct Failing : CollectingOwner {
        using CollectingOwner::CollectingOwner;
        HResult characters(std::u16string_view /*text*/) override { return kFail; }
    } owner{*m_reader};
    EXPECT_EQ(parse("<r><s>x</s></r>", owner), kFail);
    EXPECT_EQ(m_reader->contentHandler(), &owner);
}

} // namespace
} // namespace tarvex::soap
