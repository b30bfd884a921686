// Any bytes as what a client sends the local service on one connection: the requests read from
// them are the same whether the bytes come at once or in small pieces, and reading never
// crashes or holds more than its caps. Besides a few fixed sizes, the first byte chooses one
// piece size from 1 to 64; it stays part of the input.
#include "fuzz/whole_vs_pieces.h"
#include "service/http_request.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using tarvex::search::ParseStatus;
using tarvex::search::RequestParser;

constexpr std::size_t kMaxBody = std::size_t{1} << 20;

// What the parser made of every request on the connection, in order.
std::string readAll(const std::uint8_t* data, std::size_t size, std::size_t piece) {
    RequestParser parser{kMaxBody};
    std::string outcome;
    std::string input;
    std::size_t at = 0;
    const auto more = [&] {
        if (at >= size) {
            return false;
        }
        const std::size_t n = piece == 0 ? size - at : std::min(piece, size - at);
        input.append(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return true;
    };
    (void)more();
    while (true) {
        const ParseStatus status = parser.take(input);
        if (status == ParseStatus::Failed) {
            return outcome + "|failed " + std::to_string(parser.failure());
        }
        if (status == ParseStatus::Message) {
            outcome += "|" + parser.head().target + " " + std::to_string(parser.body().size());
            if (parser.body().size() > kMaxBody) {
                __builtin_trap();
            }
            parser.reset();
        } else if (status == ParseStatus::NeedMore && !more()) {
            // What is left waits for bytes that never come.
            return outcome + "|more";
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string whole = readAll(data, size, 0);
    const std::size_t chosen = size == 0 ? 1 : tarvex::fuzz::chosenPiece(data[0]);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, chosen}) {
        if (readAll(data, size, piece) != whole) {
            __builtin_trap();
        }
    }
    return 0;
}
