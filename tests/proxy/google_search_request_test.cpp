#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "proxy/google_search_maps.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <string>

namespace tarvex::proxy {
namespace {

std::string exactRequest(const std::string& key, const std::string& q, const std::string& tail) {
    return R"(<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:soapenc="http://schemas.xmlsoap.org/soap/encoding/">)"
           R"(<soap:Body soap:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">)"
           R"(<snp:doGoogleSearch xmlns:snp="urn:GoogleSearch">)"
           "<key>" +
           key + "</key><q>" + q + "</q>" + tail +
           "</snp:doGoogleSearch></soap:Body></soap:Envelope>";
}

const std::string kDefaultTail = "<start>0</start><maxResults>10</maxResults><filter>true</filter>"
                                 R"(<restrict xsi:nil="1"/><safeSearch>false</safeSearch>)"
                                 R"(<lr xsi:nil="1"/><ie xsi:nil="1"/><oe xsi:nil="1"/>)";

class GoogleSearchRequestTest : public ::testing::Test {
protected:
    std::string write(const DoGoogleSearchArgs& args) {
        soap::StringSink sink;
        EXPECT_EQ(writeDoGoogleSearchRequest(args, sink), kOk);
        return sink.text();
    }

    DoGoogleSearchArgs args(std::u16string_view key, std::u16string_view q) {
        m_key.reset(sysAllocString(key));
        m_q.reset(sysAllocString(q));
        DoGoogleSearchArgs call;
        call.key = m_key.get();
        call.q = m_q.get();
        return call;
    }

    UniqueSysString m_key;
    UniqueSysString m_q;
};

TEST_F(GoogleSearchRequestTest, TheExactRequest) {
    const std::string text = write(args(u"abc", u"x"));
    EXPECT_EQ(text, exactRequest("abc", "x", kDefaultTail));
    EXPECT_EQ(text.find("<soap:Body"), 227U) << "the envelope start tag is 227 bytes";
    EXPECT_EQ(text.find("xsi:type"), std::string::npos);
}

TEST_F(GoogleSearchRequestTest, QueryTextIsEscaped) {
    const std::string text = write(args(u"k&y", u"a<b & 'c' \u00E9\U0001F600\t"));
    EXPECT_EQ(text,
              exactRequest("k&amp;y", "a&lt;b &amp; 'c' &#x00E9;&#x01F600;&#x0009;", kDefaultTail));
}

TEST_F(GoogleSearchRequestTest, NullAndEmptyStrings) {
    DoGoogleSearchArgs call = args(u"", u"q");
    EXPECT_EQ(write(call), exactRequest("", "q", kDefaultTail)) << "empty: start tag then end tag";
    call.key = nullptr;
    const std::string text = write(call);
    EXPECT_NE(text.find(R"(<key xsi:nil="1"/><q>q</q>)"), std::string::npos)
        << "null: a nil element";
}

TEST_F(GoogleSearchRequestTest, PagingAndSwitches) {
    DoGoogleSearchArgs call = args(u"k", u"q");
    call.start = 20;
    call.maxResults = 7;
    call.filter = false;
    call.safeSearch = true;
    const UniqueSysString lr{sysAllocString(u"lang_en")};
    call.lr = lr.get();
    EXPECT_EQ(write(call),
              exactRequest("k", "q",
                           "<start>20</start><maxResults>7</maxResults><filter>false</filter>"
                           R"(<restrict xsi:nil="1"/><safeSearch>true</safeSearch>)"
                           R"(<lr>lang_en</lr><ie xsi:nil="1"/><oe xsi:nil="1"/>)"));
}

TEST_F(GoogleSearchRequestTest, EnvelopeIsWellFormedXml) {
    const std::string text = write(args(u"key", u"<&>\"'\u00E9\U0001F600"));
    xmlDocPtr doc =
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "request.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    ASSERT_NE(doc, nullptr);
    xmlFreeDoc(doc);
}

TEST_F(GoogleSearchRequestTest, SinkFailureIsReturnedAndTheHandlerReset) {
    test::FailingSink sink{3, kOutOfMemory};
    EXPECT_EQ(writeDoGoogleSearchRequest(args(u"k", u"q"), sink), kOutOfMemory);

    HeapMemoryManager memory;
    GoogleSearchHandler handler{memory};
    DoGoogleSearchParams params{};
    ASSERT_EQ(handler.beginCall(kDoGoogleSearchIndex, &params), kOk);
    ASSERT_EQ(handler.states().size(), 1U);
    EXPECT_EQ(handler.states().front().capacity, kDoGoogleSearchIndex);
    EXPECT_EQ(handler.states().front().target, handler.headerRecord());
    handler.endCall();
    EXPECT_TRUE(handler.states().empty());
    EXPECT_EQ(handler.parameterRecord(), nullptr);
    EXPECT_EQ(handler.beginCall(3, &params), kInvalidArg);
}

} // namespace
} // namespace tarvex::proxy
