// doGoogleSearch responses through the whole response side. Every message is fed to the push
// parser whole and in pieces of every size from 1 to 64 bytes, and must give the same result
// each time.
#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"
#include "support/historic_files.h"
#include "support/piecewise.h"
#include "support/search_result_text.h"
#include "tarvex/json_output.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::proxy {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kHistoric = test::historicFile("");
const std::string kFixtures = std::string{TARVEX_TEST_DIR} + "/proxy/fixtures/";

std::string envelope(const std::string& body) {
    return R"(<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" )"
           R"(xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/" )"
           R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><SOAP-ENV:Body>)" +
           body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// A complete GoogleSearchResult with `resultElements` and `directoryCategories` as given.
std::string resultBody(const std::string& members, const std::string& wrapperExtra = "") {
    return R"(<ns1:doGoogleSearchResponse xmlns:ns1="urn:GoogleSearch">)" + members + wrapperExtra +
           "</ns1:doGoogleSearchResponse>";
}

const std::string kScalars =
    "<documentFiltering>false</documentFiltering><searchComments></searchComments>"
    "<estimatedTotalResultsCount>42</estimatedTotalResultsCount>"
    "<estimateIsExact>true</estimateIsExact><searchQuery>q</searchQuery>"
    "<startIndex>1</startIndex><endIndex>2</endIndex><searchTips/>"
    "<searchTime>0.5</searchTime>";

std::string item(const std::string& url, const std::string& category = "") {
    return "<item><summary/><URL>" + url +
           "</URL><snippet/><title/><cachedSize>1k</cachedSize>"
           "<relatedInformationPresent>false</relatedInformationPresent><hostName/>"
           "<directoryCategory><fullViewableName>" +
           category +
           "</fullViewableName><specialEncoding/></directoryCategory><directoryTitle/></item>";
}

std::string elements(int count, const std::string& items, const std::string& attributes = "") {
    return R"(<resultElements SOAP-ENC:arrayType="ns1:ResultElement[)" + std::to_string(count) +
           R"(]")" + attributes + ">" + items + "</resultElements>";
}

const std::string kNoCategories =
    R"(<directoryCategories SOAP-ENC:arrayType="ns1:DirectoryCategory[0]"/>)";

std::string response(const std::string& returnContent, const std::string& after = "") {
    return envelope(resultBody("<return>" + returnContent + "</return>", after));
}

std::string valid(const std::string& resultElements = elements(1, item("http://a/"))) {
    return response(kScalars + resultElements + kNoCategories);
}

// The status of one parse of `body` and everything it left in the result; a failed parse must
// leave the result as it was.
std::string parseOutcome(soap::ByteStream& body) {
    const auto reader = soap::createSaxReader();
    GoogleSearchResult result{};
    result.resultElementsCount = -1;
    const HResult status = parseDoGoogleSearchResponse(*reader, body, result);
    std::string outcome = test::statusText(status) + " " + test::searchResultText(result);
    if (!failed(status)) {
        releaseGoogleSearchResult(result);
    }
    return outcome;
}

class ResponseParserTest : public ::testing::Test {
protected:
    // Parses `xml` whole, once every piece size has been seen to give the same outcome; on
    // success keeps the result as JSON text in m_last (and releases it).
    HResult parse(const std::string& xml) {
        EXPECT_TRUE(test::sameWholeAndInPieces(xml, parseOutcome));
        return parseWhole(xml);
    }

    // The same without the pieces: for messages too large to parse again at every piece size.
    HResult parseWhole(const std::string& xml) {
        const auto reader = soap::createSaxReader();
        soap::MemoryStream stream{xml};
        GoogleSearchResult result{};
        result.resultElementsCount = -1;
        const HResult status = parseDoGoogleSearchResponse(*reader, stream, result);
        if (failed(status)) {
            EXPECT_EQ(result.resultElementsCount, -1)
                << "a failed parse leaves the result untouched";
            return status;
        }
        m_last = cli::toJson(result);
        releaseGoogleSearchResult(result);
        return status;
    }

    nlohmann::ordered_json m_last;
};

TEST_F(ResponseParserTest, DeveloperKitSampleFieldForField) {
    SKIP_WITHOUT_HISTORIC_FILES();
    ASSERT_EQ(parse(readFile(kHistoric + "kit-sample_doGoogleSearch_response.xml")), kOk);
    const auto& r = m_last;
    EXPECT_EQ(r["documentFiltering"], false);
    EXPECT_EQ(r["searchComments"], "");
    EXPECT_EQ(r["estimatedTotalResultsCount"], 3);
    EXPECT_EQ(r["estimateIsExact"], true);
    EXPECT_EQ(r["searchQuery"], "shrdlu winograd maclisp teletype");
    EXPECT_EQ(r["startIndex"], 1);
    EXPECT_EQ(r["endIndex"], 3);
    EXPECT_EQ(r["searchTips"], "");
    EXPECT_EQ(r["searchTime"], 0.194871);
    EXPECT_EQ(r["directoryCategories"].size(), 0U);
    ASSERT_EQ(r["resultElements"].size(), 3U);
    const auto& first = r["resultElements"][0];
    EXPECT_EQ(first["URL"], "http://hci.stanford.edu/cs147/examples/shrdlu/");
    EXPECT_EQ(first["title"], "<b>SHRDLU</b>");
    EXPECT_EQ(first["cachedSize"], "12k");
    EXPECT_EQ(first["relatedInformationPresent"], true);
    EXPECT_EQ(first["hostName"], "");
    EXPECT_EQ(first["summary"], "");
    EXPECT_EQ(first["directoryCategory"]["fullViewableName"], "");
    EXPECT_EQ(first["snippet"].get<std::string>().substr(0, 16), " <b>...</b> on a");
    EXPECT_EQ(r["resultElements"][2]["title"], "") << "an empty title is an empty string, not null";
}

TEST_F(ResponseParserTest, CapturedTenResultResponse) {
    SKIP_WITHOUT_HISTORIC_FILES();
    ASSERT_EQ(parse(readFile(kHistoric + "WRAPPED_real_temperature_response.xml")), kOk);
    const auto& r = m_last;
    EXPECT_EQ(r["estimatedTotalResultsCount"], 236000000);
    EXPECT_EQ(r["estimateIsExact"], false);
    EXPECT_EQ(r["searchTime"], 0.126511);
    EXPECT_EQ(r["searchQuery"], "temperature");
    EXPECT_EQ(r["startIndex"], 1);
    EXPECT_EQ(r["endIndex"], 10);
    ASSERT_EQ(r["resultElements"].size(), 10U);
    EXPECT_EQ(r["resultElements"][0]["URL"], "http://www.onlineconversion.com/temperature.htm");
    EXPECT_EQ(r["resultElements"][1]["URL"], "http://en.wikipedia.org/wiki/Temperature");
    EXPECT_EQ(r["resultElements"][1]["cachedSize"], "77k");
    for (const auto& element : r["resultElements"]) {
        EXPECT_EQ(element["directoryCategory"]["fullViewableName"], "");
    }
}

TEST_F(ResponseParserTest, HistoricStyleFixtureWithCategories) {
    ASSERT_EQ(parse(readFile(kFixtures + "historic_style_10_results.xml")), kOk);
    const auto& r = m_last;
    EXPECT_EQ(r["documentFiltering"], true);
    EXPECT_EQ(r["searchComments"], "");
    EXPECT_EQ(r["searchQuery"], "temperature & kelvin");
    ASSERT_EQ(r["directoryCategories"].size(), 2U);
    EXPECT_EQ(r["directoryCategories"][1]["fullViewableName"], "Top/Reference/Weights & Measures");
    EXPECT_EQ(r["directoryCategories"][1]["specialEncoding"], "utf-8");
    ASSERT_EQ(r["resultElements"].size(), 10U);
    const auto& first = r["resultElements"][0];
    EXPECT_EQ(first["title"], "<b>Temperature</b> page 1 \u2013 O'Neil's");
    EXPECT_EQ(first["snippet"],
              " The <b>kelvin</b> scale, part 1 &amp; more <b>...</b><br> of <b>temperature</b>");
    EXPECT_EQ(first["URL"], "http://example.org/temperature/1?a=1&b=2");
    EXPECT_EQ(first["summary"], "Scales & units");
    EXPECT_EQ(first["directoryTitle"], "Thermodynamics");
    EXPECT_EQ(r["resultElements"][4]["hostName"], "www.example.org");
    EXPECT_EQ(r["resultElements"][9]["cachedSize"], "19k");
}

TEST_F(ResponseParserTest, MultiReferenceValues) {
    // The whole return value stands after the operation's element, referred to by href.
    const std::string later =
        envelope(resultBody(R"(<return href="#id1"/>)") + R"(<multiRef id="id1">)" + kScalars +
                 elements(0, "") + kNoCategories + "</multiRef>");
    ASSERT_EQ(parse(later), kOk);
    EXPECT_EQ(m_last["estimatedTotalResultsCount"], 42);

    EXPECT_EQ(parse(envelope(resultBody(R"(<return href="#id1"/>)"))), kFail)
        << "an id that never comes";
    EXPECT_EQ(parse(envelope(resultBody(R"(<return href="#id1"/>)") +
                             R"(<multiRef id="id1" href="#id2"/>)")),
              kFail)
        << "a referred element may not refer on";
    EXPECT_EQ(
        parse(response(kScalars + elements(1, item("u")) + kNoCategories + R"(<x href="#a"/>)")),
        kFail)
        << "an href does not make an unknown element known";
}

TEST_F(ResponseParserTest, OneValueReferredToFromSeveralPlaces) {
    // Four items share one DirectoryCategory, as independent toolkits write it.
    std::string items;
    for (int i = 0; i < 4; ++i) {
        items += "<item><summary/><URL>u" + std::to_string(i) +
                 "</URL><snippet/><title/><cachedSize/><relatedInformationPresent>0</"
                 "relatedInformationPresent>"
                 R"(<hostName/><directoryCategory href="#_4"/><directoryTitle/></item>)";
    }
    const std::string xml = envelope(
        resultBody("<return>" + kScalars + elements(4, items) + kNoCategories + "</return>") +
        R"(<id id="_4"><fullViewableName>Top/Shared</fullViewableName>)"
        "<specialEncoding>x</specialEncoding></id>");
    ASSERT_EQ(parse(xml), kOk);
    ASSERT_EQ(m_last["resultElements"].size(), 4U);
    for (const auto& element : m_last["resultElements"]) {
        EXPECT_EQ(element["directoryCategory"]["fullViewableName"], "Top/Shared");
        EXPECT_EQ(element["directoryCategory"]["specialEncoding"], "x");
    }
}

// `refs` items that all refer to one result whose snippet holds `snippetBytes` bytes.
std::string sharedResult(int refs, std::size_t snippetBytes) {
    std::string items;
    for (int i = 0; i < refs; ++i) {
        items += R"(<item href="#s"/>)";
    }
    return envelope(
        resultBody("<return>" + kScalars + elements(refs, items) + kNoCategories + "</return>") +
        R"(<m id="s"><summary/><URL>u</URL><snippet>)" + std::string(snippetBytes, 'x') +
        "</snippet><title/><cachedSize/><relatedInformationPresent>0"
        "</relatedInformationPresent><hostName/><directoryCategory>"
        "<fullViewableName/><specialEncoding/></directoryCategory><directoryTitle/>"
        "</m>");
}

// Regression: every referrer got a deep copy without limit, so 200 KB of references to one
// 10 KB result grew to gigabytes.
TEST_F(ResponseParserTest, CopiesOfASharedValueHaveABudget) {
    EXPECT_EQ(parseWhole(sharedResult(10000, 10000)), kOutOfMemory);
    // A parse may hold a fixed 1 MiB and four bytes per response byte: 100 copies of a
    // 2000-unit snippet (400 KB in UTF-16) fit, 1000 copies (4 MB from 26 KB) do not.
    ASSERT_EQ(parseWhole(sharedResult(100, 2000)), kOk);
    ASSERT_EQ(m_last["resultElements"].size(), 100U);
    EXPECT_EQ(m_last["resultElements"][99]["snippet"].get<std::string>().size(), 2000U);
    EXPECT_EQ(parseWhole(sharedResult(1000, 2000)), kOutOfMemory);
}

// Regression: what a parse held was unbounded wherever a few bytes could ask for much memory:
// an announced array, the bookkeeping of references and markup rebuilt inside a string.
TEST_F(ResponseParserTest, WhatAParseHoldsStaysWithinAMultipleOfTheResponse) {
    EXPECT_EQ(parseWhole(valid(elements(20000, ""))), kOutOfMemory)
        << "20,000 results announced in 2 KB";
    std::string many;
    for (int i = 0; i < 2000; ++i) {
        many += item("http://a/" + std::to_string(i));
    }
    ASSERT_EQ(parseWhole(valid(elements(2000, many))), kOk) << "2,000 results that came";

    std::string refs;
    for (int i = 0; i < 10000; ++i) {
        refs += R"(<item href="#r)" + std::to_string(i) + R"("/>)";
    }
    EXPECT_EQ(parseWhole(valid(elements(10000, refs))), kOutOfMemory)
        << "10,000 waiting references in 230 KB";

    // Each <a/> comes back as <a></a>: 14 bytes of UTF-16 for 4 bytes of response.
    std::string markup;
    for (int i = 0; i < 500000; ++i) {
        markup += "<a/>";
    }
    EXPECT_EQ(parseWhole(response(kScalars + elements(0, "") + kNoCategories)), kOk);
    const std::string withMarkup = valid(elements(0, ""));
    const std::size_t query = withMarkup.find("<searchQuery>q") + 13;
    EXPECT_EQ(parseWhole(withMarkup.substr(0, query) + markup + withMarkup.substr(query)),
              kOutOfMemory);
    ASSERT_EQ(parseWhole(withMarkup.substr(0, query) + "<b>x</b>" + markup.substr(0, 40000) +
                         withMarkup.substr(query)),
              kOk);
    EXPECT_EQ(m_last["searchQuery"].get<std::string>().size(), 8U + 70000U + 1U);
}

TEST_F(ResponseParserTest, ArraysMustHoldTheAnnouncedItems) {
    ASSERT_EQ(parse(valid(elements(0, ""))), kOk);
    EXPECT_EQ(m_last["resultElements"].size(), 0U);
    std::string nine;
    for (int i = 0; i < 9; ++i) {
        nine += item("u");
    }
    EXPECT_EQ(parse(valid(elements(10, nine))), kFail) << "nine of ten";
    EXPECT_EQ(parse(valid(elements(8, nine))), kFail) << "nine of eight";
    ASSERT_EQ(parse(valid(elements(9, nine))), kOk);
    EXPECT_EQ(m_last["resultElements"].size(), 9U);
    EXPECT_EQ(parse(valid("<resultElements>" + item("u") + "</resultElements>")), kFail)
        << "no arrayType";
    EXPECT_EQ(parse(valid(R"(<resultElements SOAP-ENC:arrayType="ns1:ResultElement[]">)" +
                          item("u") + "</resultElements>")),
              kFail)
        << "[] gives no size";
    EXPECT_EQ(parse(valid(R"(<resultElements SOAP-ENC:arrayType="ns1:ResultElement">)" + item("u") +
                          "</resultElements>")),
              kFail)
        << "arrayType without [";
    EXPECT_EQ(parse(valid(elements(1, ""))), kFail) << "an announced item is missing";
}

TEST_F(ResponseParserTest, HugeAnnouncedArraysFailWithoutAllocating) {
    EXPECT_EQ(parse(valid(elements(2000000000, item("u")))), kFail);
    EXPECT_EQ(
        parse(valid(R"(<resultElements SOAP-ENC:arrayType="ns1:ResultElement[99999,99999]">)" +
                    item("u") + "</resultElements>")),
        kFail);
}

TEST_F(ResponseParserTest, NilOnNullableAndRequiredMembers) {
    ASSERT_EQ(parse(response(R"(<searchComments xsi:nil="true"/>)" +
                             kScalars.substr(kScalars.find("<estimated")) + elements(0, "") +
                             kNoCategories + "<documentFiltering>0</documentFiltering>")),
              kOk);
    EXPECT_TRUE(m_last["searchComments"].is_null());
    EXPECT_EQ(parse(response(R"(<estimatedTotalResultsCount xsi:nil="1"/>)" + kScalars +
                             elements(0, "") + kNoCategories)),
              kFail);
    // A nil array is absent.
    ASSERT_EQ(parse(response(kScalars + R"(<resultElements xsi:nil="true"/>)" + kNoCategories)),
              kOk);
    EXPECT_EQ(m_last["resultElements"].size(), 0U);
}

TEST_F(ResponseParserTest, MissingMembers) {
    const std::string withoutTips =
        kScalars.substr(0, kScalars.find("<searchTips/>")) + "<searchTime>1</searchTime>";
    ASSERT_EQ(parse(response(withoutTips + elements(0, "") + kNoCategories)), kOk)
        << "searchTips is nullable";
    EXPECT_TRUE(m_last["searchTips"].is_null());
    const std::string withoutStart =
        kScalars.substr(0, kScalars.find("<startIndex>")) +
        "<endIndex>2</endIndex><searchTips/><searchTime>1</searchTime>";
    EXPECT_EQ(parse(response(withoutStart + elements(0, "") + kNoCategories)), kFail)
        << "startIndex is required";
    EXPECT_EQ(parse(envelope(resultBody(""))), kFail) << "no return at all";
}

TEST_F(ResponseParserTest, LeavesAndStructuresHoldWhatTheyMay) {
    const std::string base = kScalars.substr(0, kScalars.find("<startIndex>"));
    const std::string rest = "<endIndex>2</endIndex><searchTips/><searchTime>1</searchTime>" +
                             elements(0, "") + kNoCategories;
    EXPECT_EQ(parse(response(base + "<startIndex></startIndex>" + rest)), kFail)
        << "a number needs text";
    EXPECT_EQ(parse(response(base + "<startIndex>1<b/></startIndex>" + rest)), kFail)
        << "a child in a leaf";
    EXPECT_EQ(parse(response(base + "<startIndex>1</startIndex>stray text" + rest)), kFail)
        << "text in a structure";
    EXPECT_EQ(parse(response(base + "<startIndex>1</startIndex><startIndex>1</startIndex>" + rest)),
              kFail)
        << "a member sent twice";
    EXPECT_EQ(parse(response(base + "<startIndex>1</startIndex><key>k</key>" + rest)), kFail)
        << "an unknown member";
    EXPECT_EQ(parse(response(base + "<startIndex>yes</startIndex>" + rest)), kOk)
        << "numbers read leniently";
    EXPECT_EQ(parse(response(base + "<startIndex>1</startIndex>" +
                             rest.substr(0, rest.find("<searchTime>")) +
                             "<searchTime>1e999</searchTime>" + elements(0, "") + kNoCategories)),
              kFail)
        << "a double out of range";
    EXPECT_EQ(parse(envelope(resultBody("<key>k</key>"))), kFail)
        << "an in-parameter in a response";
}

TEST_F(ResponseParserTest, StringsKeepNestedMarkupAsText) {
    const std::string query =
        R"(<searchQuery>a &amp; <i class="x" id='y'>b<br/></i> c</searchQuery>)";
    const std::string scalars = kScalars.substr(0, kScalars.find("<searchQuery>")) + query +
                                kScalars.substr(kScalars.find("<startIndex>"));
    ASSERT_EQ(parse(response(scalars + elements(0, "") + kNoCategories)), kOk);
    EXPECT_EQ(m_last["searchQuery"], R"(a & <i class="x" id="y">b<br></br></i> c)");
}

TEST_F(ResponseParserTest, EnvelopeStructure) {
    ASSERT_EQ(parse(valid()), kOk);
    std::string wrongNs = valid();
    wrongNs.replace(wrongNs.find("http://schemas.xmlsoap.org/soap/envelope/"), 41,
                    "http://www.w3.org/2003/05/soap-envelope/");
    EXPECT_EQ(parse(wrongNs), kFail) << "a SOAP 1.2 envelope";
    EXPECT_EQ(parse("<!DOCTYPE x [<!ENTITY e 'boom'>]>" + valid()), kFail) << "a DOCTYPE";
    EXPECT_EQ(parse(valid().substr(0, valid().size() - 5)), kFail) << "truncated";
    EXPECT_EQ(parse(""), kFail);
    // Any name is accepted for the operation's element.
    std::string renamed = valid();
    renamed.replace(renamed.find("doGoogleSearchResponse"), 22, "anythingAtAll");
    renamed.replace(renamed.rfind("doGoogleSearchResponse"), 22, "anythingAtAll");
    EXPECT_EQ(parse(renamed), kOk);
    // An envelope that holds no answer was a success with an empty result.
    EXPECT_EQ(parse(envelope("")), kFail) << "an empty Body";
    EXPECT_EQ(
        parse(R"(<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/">)"
              "y></SOAP-ENV:Envelope>"),
        kFail)
        << "no Body";
}

TEST_F(ResponseParserTest, UnknownHeadersAreSkippedUnlessTheyMustBeUnderstood) {
    const std::string body = "<SOAP-ENV:Body>";
    std::string withHeader = valid();
    withHeader.insert(withHeader.find(body),
                      R"(<SOAP-ENV:Header><t:trace xmlns:t="urn:t"><deep>x</deep></t:trace>)"
                      R"(<t:n xmlns:t="urn:t" SOAP-ENV:mustUnderstand="0"/></SOAP-ENV:Header>)");
    EXPECT_EQ(parse(withHeader), kOk);
    std::string mustUnderstand = valid();
    mustUnderstand.insert(
        mustUnderstand.find(body),
        R"(<SOAP-ENV:Header><t:n xmlns:t="urn:t" SOAP-ENV:mustUnderstand="1"/></SOAP-ENV:Header>)");
    EXPECT_EQ(parse(mustUnderstand), kFail);
}

TEST_F(ResponseParserTest, DeepNestingFails) {
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<d>";
    }
    for (int i = 0; i < 300; ++i) {
        deep += "</d>";
    }
    const std::string query = "<searchQuery>" + deep + "</searchQuery>";
    const std::string scalars = kScalars.substr(0, kScalars.find("<searchQuery>")) + query +
                                kScalars.substr(kScalars.find("<startIndex>"));
    EXPECT_EQ(parse(response(scalars + elements(0, "") + kNoCategories)), kFail);
}

} // namespace
} // namespace tarvex::proxy
