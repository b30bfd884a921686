// The service's answers to whole SOAP request bodies, read back with the client's own parsers.
#include "service/search_service.h"

#include "service/search_index.h"

#include "base/code_page.h"
#include "proxy/google_search_handler.h"
#include "soap/binary_text.h"
#include "soap/byte_stream.h"
#include "soap/output_sink.h"
#include "soap/sax_reader.h"
#include "soap/soap_fault.h"
#include "support/historic_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace tarvex::search {
namespace {

const std::string kHistoric = test::historicFile("");

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The request the client itself sends.
std::string searchRequest(std::u16string_view key, std::u16string_view q, std::int32_t start,
                          std::int32_t maxResults) {
    const UniqueSysString keyText{sysAllocString(key)};
    const UniqueSysString queryText{sysAllocString(q)};
    proxy::DoGoogleSearchArgs args;
    args.key = keyText.get();
    args.q = queryText.get();
    args.start = start;
    args.maxResults = maxResults;
    soap::StringSink sink;
    EXPECT_EQ(proxy::writeDoGoogleSearchRequest(args, sink), kOk);
    return sink.text();
}

struct Fault {
    std::string code;
    std::string text;
};

Fault readFault(const ServiceReply& reply) {
    EXPECT_EQ(reply.status, 500);
    soap::MemoryStream stream{reply.body};
    soap::SoapFaultInfo info;
    EXPECT_EQ(soap::parseFault(&stream, nullptr, info), kOk) << reply.body;
    return {utf16ToCodePage(sysStringView(info.faultCode.get())),
            utf16ToCodePage(sysStringView(info.faultString.get()))};
}

class SearchServiceTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_index = std::make_unique<SearchIndex>(readCorpus(bundledCorpusText()), 1);
    }
    static void TearDownTestSuite() { s_index.reset(); }

    // Parses a doGoogleSearch answer the way the client does.
    static proxy::GoogleSearchResult parsed(const ServiceReply& reply) {
        EXPECT_EQ(reply.status, 200) << reply.body;
        const auto reader = soap::createSaxReader();
        soap::MemoryStream stream{reply.body};
        proxy::GoogleSearchResult result{};
        EXPECT_EQ(proxy::parseDoGoogleSearchResponse(*reader, stream, result), kOk) << reply.body;
        return result;
    }

    static std::unique_ptr<SearchIndex> s_index;
};

std::unique_ptr<SearchIndex> SearchServiceTest::s_index;

TEST_F(SearchServiceTest, AnswersTheDeveloperKitSampleRequest) {
    SKIP_WITHOUT_HISTORIC_FILES();
    SearchService service{*s_index, {}};
    const ServiceReply reply =
        service.answer(readFile(kHistoric + "kit-sample_doGoogleSearch_request.xml"));
    EXPECT_EQ(reply.operation, "doGoogleSearch");
    proxy::GoogleSearchResult result = parsed(reply);
    EXPECT_GE(result.resultElementsCount, 1);
    EXPECT_EQ(result.estimatedTotalResultsCount, result.resultElementsCount);
    EXPECT_EQ(result.startIndex, 1);
    EXPECT_EQ(result.endIndex, result.resultElementsCount);
    EXPECT_EQ(sysStringView(result.searchQuery), u"shrdlu winograd maclisp teletype");
    EXPECT_TRUE(result.estimateIsExact);
    ASSERT_NE(result.resultElements, nullptr);
    const proxy::ResultElement& first = result.resultElements[0];
    EXPECT_NE(sysStringView(first.title).find(u"<b>SHRDLU</b>"), std::u16string_view::npos);
    EXPECT_NE(sysStringView(first.snippet).find(u"<b>"), std::u16string_view::npos);
    EXPECT_EQ(sysStringView(first.cachedSize), u"1k");
    EXPECT_EQ(sysStringView(first.directoryCategory.fullViewableName),
              u"Computers > Artificial Intelligence > History");
    EXPECT_GE(result.searchTime, 0.0);
    proxy::releaseGoogleSearchResult(result);
}

TEST_F(SearchServiceTest, IndexesFollowTheClientsPaging) {
    SearchService service{*s_index, {}};
    proxy::GoogleSearchResult second =
        parsed(service.answer(searchRequest(u"k", u"computing", 10, 10)));
    EXPECT_EQ(second.startIndex, 11);
    EXPECT_EQ(second.endIndex, 20);
    EXPECT_EQ(second.resultElementsCount, 10);
    proxy::releaseGoogleSearchResult(second);
    // No hits: an empty page whose end comes before its start.
    proxy::GoogleSearchResult none = parsed(service.answer(searchRequest(u"k", u"zyxwvut", 0, 10)));
    EXPECT_EQ(none.resultElementsCount, 0);
    EXPECT_EQ(none.estimatedTotalResultsCount, 0);
    EXPECT_EQ(none.startIndex, 1);
    EXPECT_EQ(none.endIndex, 0);
    proxy::releaseGoogleSearchResult(none);
}

TEST_F(SearchServiceTest, KeysAreChecked) {
    SKIP_WITHOUT_HISTORIC_FILES();
    SearchService anyKey{*s_index, {}};
    EXPECT_EQ(readFault(anyKey.answer(searchRequest(u"", u"lisp", 0, 10))).text,
              "Exception from service object: Invalid authorization key: ");
    ServiceOptions listed;
    listed.keys = std::unordered_set<std::string>{"good"};
    SearchService onlyListed{*s_index, listed};
    const Fault fault = readFault(onlyListed.answer(searchRequest(u"bad key", u"lisp", 0, 10)));
    EXPECT_EQ(fault.code, "SOAP-ENV:Server");
    EXPECT_EQ(fault.text, "Exception from service object: Invalid authorization key: bad key");
    EXPECT_EQ(onlyListed.answer(searchRequest(u"good", u"lisp", 0, 10)).status, 200);
    const std::string spelling =
        readFile(kHistoric + "kit-sample_doSpellingSuggestion_request.xml");
    EXPECT_EQ(readFault(onlyListed.answer(spelling)).code, "SOAP-ENV:Server");
}

TEST_F(SearchServiceTest, ParametersOutOfRangeAreFaults) {
    SearchService service{*s_index, {}};
    for (const auto& [start, count] : {std::pair{0, 11}, std::pair{0, 0}, std::pair{-1, 10}}) {
        const Fault fault = readFault(service.answer(searchRequest(u"k", u"lisp", start, count)));
        EXPECT_EQ(fault.code, "SOAP-ENV:Server");
        EXPECT_TRUE(fault.text.starts_with("Exception from service object: ")) << fault.text;
    }
    const std::u16string longQuery(SearchService::kMaxQueryBytes + 1, u'a');
    EXPECT_EQ(service.answer(searchRequest(u"k", longQuery, 0, 10)).status, 500);
    // 1,000 common words took 1.3 to 2.3 s of the index's time per request.
    std::u16string words;
    for (std::size_t i = 0; i < SearchService::kMaxQueryWords; ++i) {
        words += u"lisp ";
    }
    EXPECT_EQ(service.answer(searchRequest(u"k", words, 0, 10)).status, 200);
    words += u"\"one more\"";
    const Fault tooMany = readFault(service.answer(searchRequest(u"k", words, 0, 10)));
    EXPECT_EQ(tooMany.code, "SOAP-ENV:Client");
    EXPECT_EQ(tooMany.text, "The query has more than 32 words.");
    // The largest start still gives sound indexes.
    proxy::GoogleSearchResult far =
        parsed(service.answer(searchRequest(u"k", u"lisp", INT32_MAX, 10)));
    EXPECT_EQ(far.resultElementsCount, 0);
    proxy::releaseGoogleSearchResult(far);
}

TEST_F(SearchServiceTest, QuotaEndsTheDayAndANewDayStartsAfresh) {
    std::int64_t day = 100;
    ServiceOptions options;
    options.quota = 2;
    options.today = [&day] { return day; };
    SearchService service{*s_index, options};
    EXPECT_EQ(service.answer(searchRequest(u"a", u"lisp", 0, 10)).status, 200);
    EXPECT_EQ(service.answer(searchRequest(u"a", u"lisp", 0, 10)).status, 200);
    const Fault fault = readFault(service.answer(searchRequest(u"a", u"lisp", 0, 10)));
    EXPECT_EQ(fault.text,
              "Exception from service object: Daily limit of 2 queries exceeded for key a");
    EXPECT_EQ(service.answer(searchRequest(u"b", u"lisp", 0, 10)).status, 200);
    day = 101;
    EXPECT_EQ(service.answer(searchRequest(u"a", u"lisp", 0, 10)).status, 200);
}

// Regression: once made-up keys had filled the quota table, a key that had made no search was
// told it had exceeded its daily limit.
TEST_F(SearchServiceTest, MadeUpKeysCannotUseUpTheQuotaOfOthers) {
    ServiceOptions options;
    options.quota = 2;
    options.today = [] { return 100; };
    options.quotaKeys = 4;
    SearchService service{*s_index, options};
    for (int i = 0; i < 20; ++i) {
        const std::u16string key = u"made-up-" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        ASSERT_EQ(service.answer(searchRequest(key, u"lisp", 0, 1)).status, 200) << i;
    }
    EXPECT_EQ(service.answer(searchRequest(u"fresh", u"lisp", 0, 1)).status, 200);
    EXPECT_EQ(service.answer(searchRequest(u"fresh", u"lisp", 0, 1)).status, 200);
    // The limit, when it comes, is the key's own.
    EXPECT_EQ(readFault(service.answer(searchRequest(u"fresh", u"lisp", 0, 1))).text,
              "Exception from service object: Daily limit of 2 queries exceeded for key fresh");
}

TEST_F(SearchServiceTest, RequestsThatAreNotCallsAreClientFaults) {
    SKIP_WITHOUT_HISTORIC_FILES();
    SearchService service{*s_index, {}};
    const std::string kit = readFile(kHistoric + "kit-sample_doGoogleSearch_request.xml");
    const std::vector<std::string> bodies = {
        "",
        "<not xml",
        "<?xml version='1.0'?><a/>",
        replaced(kit, "doGoogleSearch xmlns", "doSomethingElse xmlns"),
        replaced(kit, "urn:GoogleSearch", "urn:Other"),
        replaced(kit, "<start xsi:type=\"xsd:int\">0</start>",
                 "<start xsi:type=\"xsd:int\">0</start><start>1</start>"),
        replaced(kit, "<q xsi:type=\"xsd:string\">", "<q><q>"),
        "<!DOCTYPE x [<!ENTITY a 'aaaa'>]><x>&a;</x>",
    };
    for (const std::string& body : bodies) {
        EXPECT_EQ(readFault(service.answer(body)).code, "SOAP-ENV:Client") << body;
    }
    // Toolkits that leave out a parameter they do not use (ie and oe are ignored) are served.
    EXPECT_EQ(service.answer(replaced(kit, "<oe xsi:type=\"xsd:string\">latin1</oe>", "")).status,
              200);
    const std::string header =
        replaced(kit, "<SOAP-ENV:Body>",
                 "<SOAP-ENV:Header><h:x xmlns:h=\"urn:h\" SOAP-ENV:mustUnderstand=\"1\"/>"
                 "</SOAP-ENV:Header><SOAP-ENV:Body>");
    EXPECT_EQ(readFault(service.answer(header)).code, "SOAP-ENV:MustUnderstand");
}

TEST_F(SearchServiceTest, SpellingSuggestionAndCachedPage) {
    SKIP_WITHOUT_HISTORIC_FILES();
    SearchService service{*s_index, {}};
    const std::string spelling =
        readFile(kHistoric + "kit-sample_doSpellingSuggestion_request.xml");
    const ServiceReply suggestion =
        service.answer(replaced(spelling, "britney speers", "teletyep winogard"));
    EXPECT_EQ(suggestion.status, 200);
    EXPECT_NE(suggestion.body.find("<return xsi:type=\"xsd:string\">teletype winograd</return>"),
              std::string::npos)
        << suggestion.body;

    const std::string cached = readFile(kHistoric + "kit-sample_doGetCachedPage_request.xml");
    const ServiceReply page =
        service.answer(replaced(cached, "http://www.google.com/", "http://shrdlu.example.org/"));
    ASSERT_EQ(page.status, 200);
    const auto open = page.body.find("<return xsi:type=\"SOAP-ENC:base64\">");
    const auto close = page.body.find("</return>");
    ASSERT_NE(open, std::string::npos);
    const std::u16string encoded =
        codePageToUtf16(std::string_view{page.body}.substr(open + 35, close - open - 35));
    std::string decoded(soap::base64DecodedSize(encoded), '\0');
    decoded.resize(soap::base64Decode(encoded, reinterpret_cast<std::uint8_t*>(decoded.data())));
    EXPECT_EQ(decoded, s_index->findByUrl("http://shrdlu.example.org/")->body);
    // An address the index does not hold gives an empty page.
    EXPECT_NE(service.answer(cached).body.find("<return xsi:type=\"SOAP-ENC:base64\"></return>"),
              std::string::npos);
}

} // namespace
} // namespace tarvex::search
