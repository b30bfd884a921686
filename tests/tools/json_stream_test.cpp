// The streamed JSON of a search result, and of the cache dump's texts, must be byte for byte what
// nlohmann's dump(2) writes, so that scripts reading `tarvex parse`, `tarvex call` and
// `tarvex cache dump` see no change.
#include "tarvex/json_output.h"

#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/sax_reader.h"
#include "support/historic_files.h"
#include "tarvex/json_stream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

std::string streamed(const proxy::GoogleSearchResult& result) {
    std::ostringstream out;
    writeJson(out, result);
    return out.str();
}

std::string dumped(const proxy::GoogleSearchResult& result) {
    return toJson(result).dump(2) + "\n";
}

TEST(JsonStreamTest, TheHistoricResponsesPrintAsDumpPrintsThem) {
    SKIP_WITHOUT_HISTORIC_FILES();
    for (const char* name :
         {"kit-sample_doGoogleSearch_response.xml", "WRAPPED_real_temperature_response.xml"}) {
        std::ifstream in(test::historicFile(name), std::ios::binary);
        const std::string xml{std::istreambuf_iterator<char>(in), {}};
        const auto reader = soap::createSaxReader();
        soap::MemoryStream stream{xml};
        proxy::GoogleSearchResult result{};
        ASSERT_EQ(proxy::parseDoGoogleSearchResponse(*reader, stream, result), kOk) << name;
        EXPECT_EQ(streamed(result), dumped(result)) << name;
        proxy::releaseGoogleSearchResult(result);
    }
}

TEST(JsonStreamTest, EscapesNullsNumbersAndEmptyListsMatchDump) {
    UniqueSysString comments{sysAllocString(u"quote \" backslash \\ \b\f\n\r\t \x01\x1f\x7f end")};
    UniqueSysString query{sysAllocString(u"caf\u00e9 \u20ac \U0001F600 lone \xD800 x \xDC00")};
    // A long text crosses the writer's pieces, with a surrogate pair on the boundary.
    std::u16string longText(8191, u'a');
    longText += u"\U0001F600";
    longText += std::u16string(9000, u'<');
    UniqueSysString tips{sysAllocString(longText)};
    proxy::ResultElement element{};
    UniqueSysString url{sysAllocString(u"http://a/?b=\"c\"")};
    element.URL = url.get();
    element.relatedInformationPresent = 1;
    proxy::GoogleSearchResult result{};
    result.searchComments = comments.get();
    result.searchQuery = query.get();
    result.searchTips = tips.get();
    result.estimatedTotalResultsCount = -7;
    result.searchTime = 0.125;
    result.resultElements = &element;
    result.resultElementsCount = 1;
    EXPECT_EQ(streamed(result), dumped(result));

    result.resultElements = nullptr;
    result.resultElementsCount = 0;
    result.searchTime = 1e-300;
    EXPECT_EQ(streamed(result), dumped(result));
}

std::string hexBytes(const std::string& text) {
    std::string hex;
    for (const char byte : text) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        const auto value = static_cast<unsigned char>(byte);
        hex += {kDigits[value >> 4], kDigits[value & 0xF], ' '};
    }
    return hex;
}

// Every string of `length` bytes drawn from `alphabet`.
std::vector<std::string> allStrings(const std::string& alphabet, std::size_t length) {
    std::vector<std::string> texts{""};
    for (std::size_t i = 0; i < length; ++i) {
        std::vector<std::string> longer;
        for (const std::string& text : texts) {
            for (const char byte : alphabet) {
                longer.push_back(text + byte);
            }
        }
        texts = std::move(longer);
    }
    return texts;
}

TEST(JsonStreamTest, Utf8TextReplacesIllFormedBytesAsDumpDoes) {
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte.push_back(static_cast<char>(byte));
    }
    // Bytes where UTF-8's ranges begin and end, with text and escapes around them; fewer of them
    // in four bytes, where only the four-byte leads have ranges of their own.
    const std::string edges =
        "a\x01\"\x7F\x80\x8F\x90\x9F\xA0\xBF\xC1\xC2\xDF\xE0\xED\xEF\xF0\xF4\xF5";
    const std::string fourByteEdges = "a\"\x80\x8F\x90\xBF\xC2\xE0\xF0\xF4\xF5";
    std::vector<std::string> texts = allStrings(everyByte, 2);
    for (const std::string& text : allStrings(edges, 3)) {
        texts.push_back(text);
    }
    for (const std::string& text : allStrings(fourByteEdges, 4)) {
        texts.push_back(text);
    }
    texts.emplace_back(
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xED\xA0\x80 \xF4\x90\x80\x80 end");
    std::ostringstream out;
    for (const std::string& text : texts) {
        out.str("");
        JsonStream{out}.utf8Text(text);
        const std::string dumped = nlohmann::ordered_json(text).dump(
            2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        if (out.str() != dumped) {
            // One failure, not thousands.
            ASSERT_EQ(out.str(), dumped) << "bytes: " << hexBytes(text);
        }
    }
}

} // namespace
} // namespace tarvex::cli
