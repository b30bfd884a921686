// Any bytes a server may send, read as an HTTP response whole and in pieces; both reads must
// leave the same response. The first byte chooses the piece size (1 to 64) and the read block
// size.
#include "http/http_response.h"
#include "support/http_pieces.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string readOutcome(std::string_view bytes, std::size_t piece, std::size_t readBlockSize) {
    tarvex::test::PieceSource source{bytes, piece};
    tarvex::http::HttpResponse response;
    (void)tarvex::http::readResponse(source, response, readBlockSize);
    return tarvex::test::responseText(response, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = (data[0] & 0x3FU) + 1;
    const std::size_t readBlockSize = (data[0] & 0x40U) != 0 ? 7 : 4096;
    const std::string_view bytes{reinterpret_cast<const char*>(data) + 1, size - 1};
    if (readOutcome(bytes, piece, readBlockSize) != readOutcome(bytes, 0, readBlockSize)) {
        __builtin_trap();
    }
    return 0;
}
