// Any bytes as the body of a doGoogleSearch response: the parse either fails cleanly or yields
// a result that is then released, and the bytes give the same outcome fed whole and in pieces.
// The first byte chooses the piece size (1 to 64) and whether pieces are lent in place or copied.
#include "proxy/google_search_handler.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"
#include "support/outcome_text.h"
#include "support/piece_stream.h"
#include "support/search_result_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
    if (size == 0) {
        return 0;
    }
    static const auto reader = soap::createSaxReader();
    const std::size_t piece = (data[0] & 0x3FU) + 1;
    const bool lent = (data[0] & 0x40U) != 0;
    const std::string_view body{reinterpret_cast<const char*>(data) + 1, size - 1};
    soap::MemoryStream whole{body};
    const std::string wholeOutcome = parseOutcome(*reader, whole);
    soap::MemoryStream inPlace{body, piece};
    test::PieceStream copied{body, piece};
    if (parseOutcome(*reader, lent ? static_cast<soap::ByteStream&>(inPlace) : copied) !=
        wholeOutcome) {
        __builtin_trap();
    }
    return 0;
}
