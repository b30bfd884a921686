// The fault reader; every message is read whole and in pieces of every size from 1 to 64 bytes,
// and must read the same each time.
#include "base/code_page.h"
#include "base/sys_string.h"
#include "soap/byte_stream.h"
#include "soap/soap_fault.h"
#include "support/historic_files.h"
#include "support/outcome_text.h"
#include "support/piecewise.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::soap {
namespace {

std::string text(const UniqueSysString& value) {
    return value == nullptr ? "<null>" : utf16ToCodePage(sysStringView(value.get()));
}

std::string fault(const std::string& prefix, const std::string& inner,
                  const std::string& header = "") {
    return "<" + prefix + ":Envelope xmlns:" + prefix +
           R"(="http://schemas.xmlsoap.org/soap/envelope/">)" + header + "<" + prefix + ":Body><" +
           prefix + ":Fault>" + inner + "</" + prefix + ":Fault></" + prefix + ":Body></" + prefix +
           ":Envelope>";
}

class FaultReaderTest : public ::testing::Test {
protected:
    // Reads `xml` whole into m_info, once every piece size has been seen to read the same.
    HResult read(const std::string& xml) {
        EXPECT_TRUE(test::sameWholeAndInPieces(xml, [](ByteStream& stream) {
            SoapFaultInfo info;
            const HResult status = parseFault(&stream, nullptr, info);
            return test::faultText(status, info);
        }));
        return readWhole(xml);
    }

    // Reads `xml` whole only: for messages too large to read again at every piece size.
    HResult readWhole(const std::string& xml) {
        MemoryStream stream{xml};
        return parseFault(&stream, nullptr, m_info);
    }

    SoapFaultInfo m_info;
};

TEST_F(FaultReaderTest, CodesUnderWhateverPrefixIsBoundToTheEnvelope) {
    ASSERT_EQ(
        read(fault("soap", "<faultcode>soap:Client</faultcode><faultstring>bad</faultstring>")),
        kOk);
    EXPECT_EQ(m_info.code, kFaultClient);
    EXPECT_EQ(text(m_info.faultCode), "soap:Client");
    EXPECT_EQ(text(m_info.faultString), "bad");
    EXPECT_EQ(text(m_info.faultActor), "<null>");
    ASSERT_EQ(read(fault("e", "<faultcode>e:Server</faultcode>")), kOk);
    EXPECT_EQ(m_info.code, kFaultServer);
    ASSERT_EQ(read(fault("x", "<faultcode>x:VersionMismatch</faultcode>")), kOk);
    EXPECT_EQ(m_info.code, kFaultVersionMismatch);
    ASSERT_EQ(read(fault("x", "<faultcode>x:MustUnderstand</faultcode>")), kOk);
    EXPECT_EQ(m_info.code, kFaultMustUnderstand);
}

TEST_F(FaultReaderTest, CodeTextRules) {
    EXPECT_EQ(read(fault("soap", "<faultcode>env:Client</faultcode>")), kFail)
        << "prefix not bound to the envelope";
    EXPECT_EQ(read(fault("soap", "<faultcode>Client</faultcode>")), kFail) << "no prefix";
    ASSERT_EQ(read(fault("soap", "<faultcode>soap:Sender</faultcode>")), kOk)
        << "unknown code still reads";
    EXPECT_EQ(m_info.code, 0);
    EXPECT_EQ(
        read(fault("soap", "<faultcode>soap:Client</faultcode><faultcode>soap:Server</faultcode>")),
        kFail);
}

TEST_F(FaultReaderTest, ElementOrderAndUnknownElements) {
    EXPECT_EQ(read(fault("s", "<faultstring>a</faultstring><faultstring>b</faultstring>")), kFail);
    EXPECT_EQ(read(fault("s", "<faultcode>s:Client</faultcode>", R"(<s:Header/>)")), kFail)
        << "Header then Body";
    const std::string unknownFirst =
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>)"
        "<other/><s:Fault/></s:Body></s:Envelope>";
    EXPECT_EQ(read(unknownFirst), kFail);
    ASSERT_EQ(
        read(fault("s", "<faultcode>s:Client</faultcode><extra><faultstring>x</faultstring></extra>"
                        "<faultstring>y</faultstring>")),
        kOk)
        << "unknown elements after the code are skipped whole";
    EXPECT_EQ(text(m_info.faultString), "y");
    EXPECT_EQ(read("<a/>"), kFail);
    EXPECT_EQ(read(fault("s", "<faultcode>s:Client</faultcode>").substr(0, 60)), kFail);
}

TEST_F(FaultReaderTest, OnlyUtf8OrUtf16MayBeDeclared) {
    const std::string body = fault("s", "<faultcode>s:Client</faultcode>");
    EXPECT_EQ(read(R"(<?xml version="1.0" encoding="ISO-8859-1"?>)" + body), kFail);
    EXPECT_EQ(read(R"(<?xml version="1.0" encoding="UTF-8"?>)" + body), kOk);
}

TEST_F(FaultReaderTest, DetailKeepsItsMarkup) {
    ASSERT_EQ(
        read(fault(
            "s",
            R"(<faultcode>s:Server</faultcode><detail><e:why xmlns:e="urn:e" n="1">x &amp; y</e:why></detail>)")),
        kOk);
    EXPECT_EQ(text(m_info.detail), R"(<e:why n="1">x & y</e:why>)");
}

// Regression: markup in a detail was rebuilt without limit, 3.5 times its size in UTF-16 and
// copied again; what the fault keeps now stays within a multiple of the message.
TEST_F(FaultReaderTest, DetailMarkupHasABudget) {
    std::string markup;
    for (int i = 0; i < 500000; ++i) {
        markup += "<a/>";
    }
    const std::string head = "<faultcode>s:Server</faultcode><detail>";
    EXPECT_EQ(readWhole(fault("s", head + markup + "</detail>")), kOutOfMemory);
    ASSERT_EQ(readWhole(fault("s", head + markup.substr(0, 40000) + "</detail>")), kOk);
    EXPECT_EQ(text(m_info.detail).size(), 70000U);
}

TEST_F(FaultReaderTest, CapturedFaultWithAMalformedCode) {
    SKIP_WITHOUT_HISTORIC_FILES();
    std::ifstream in(test::historicFile("EXTRACTED_nordugrid-arc_fault_NullPointerException.xml"),
                     std::ios::binary);
    ASSERT_TRUE(in.good());
    ASSERT_EQ(read({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}), kOk);
    EXPECT_EQ(m_info.code, 0) << "Server.Exception: is no code of the table";
    EXPECT_EQ(text(m_info.faultCode), "SOAP-ENV:Server.Exception:");
    EXPECT_EQ(text(m_info.faultString), "java.lang.NullPointerException");
    EXPECT_EQ(text(m_info.faultActor), "/search/beta2");
    EXPECT_EQ(text(m_info.detail), "<null>");
}

TEST_F(FaultReaderTest, InvalidKeyFault) {
    std::ifstream in(std::string{TARVEX_TEST_DIR} + "/proxy/fixtures/invalid_key_fault.xml",
                     std::ios::binary);
    ASSERT_TRUE(in.good());
    ASSERT_EQ(read({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}), kOk);
    EXPECT_EQ(m_info.code, kFaultServer);
    EXPECT_EQ(text(m_info.faultString),
              "Exception from service object: Invalid authorization key: 0123456789abcdef");
    EXPECT_NE(text(m_info.detail).find("<stackTrace>"), std::string::npos);
}

TEST(FaultReaderArgumentsTest, NullStreamIsAnInvalidArgument) {
    SoapFaultInfo info;
    EXPECT_EQ(parseFault(nullptr, nullptr, info), kInvalidArg);
}

} // namespace
} // namespace tarvex::soap
