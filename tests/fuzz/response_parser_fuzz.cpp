// Any bytes as the body of a doGoogleSearch response: the parse either fails cleanly or yields
// a result that is then released, and the bytes give the same outcome fed whole and in pieces.
// The first byte chooses the piece size (1 to 64) and whether pieces are lent in place or copied.
#include "fuzz/whole_vs_pieces.h"
#include "proxy/google_search_handler.h"
#include "soap/sax_reader.h"
#include "support/outcome_text.h"
#include "support/search_result_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace tarvex;

std::string parseOutcome(soap::SaxReader& reader, soap::ByteStream& body) {
    proxy::GoogleSearchResult result{};
    const HResult status = proxy::parseDoGoogleSearchResponse(reader, body, result);
    std::string outcome = test::statusText(status) + " " + test::searchResultText(result);
    if (!failed(status)) {
        proxy::releaseGoogleSearchResult(result);
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto reader = soap::createSaxReader();
    fuzz::checkStreamWholeVsPieces(
        data, size, [](soap::ByteStream& body) { return parseOutcome(*reader, body); });
    return 0;
}
