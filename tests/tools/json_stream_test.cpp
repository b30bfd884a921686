// The streamed JSON of a search result must be byte for byte what nlohmann's dump(2) writes,
// so that scripts reading `tarvex parse` and `tarvex call` see no change.
#include "tarvex/json_output.h"

#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/sax_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

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
    for (const char* name :
         {"kit-sample_doGoogleSearch_response.xml", "WRAPPED_real_temperature_response.xml"}) {
        std::ifstream in(std::string{TARVEX_SHARED_DIR} + "/interop/historic/" + name,
                         std::ios::binary);
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

} // namespace
} // namespace tarvex::cli
