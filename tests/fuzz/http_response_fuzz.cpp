// Any bytes a server may send, read as an HTTP response whole and in pieces; both reads must
// leave the same response. The first byte chooses the piece size (1 to 64) and the read block
// size.
#include "fuzz/whole_vs_pieces.h"
#include "http/http_response.h"
#include "support/http_pieces.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string readOutcome(std::string_view bytes, std::size_t piece, bool shortBlocks) {
    const std::size_t readBlockSize = shortBlocks ? 7 : 4096;
    tarvex::test::PieceSource source{bytes, piece};
    tarvex::http::HttpResponse response;
    (void)tarvex::http::readResponse(source, response, readBlockSize);
    return tarvex::test::responseText(response, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvex::fuzz::checkWholeVsPieces(data, size, readOutcome);
    return 0;
}
