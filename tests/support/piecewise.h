#pragma once

#include "soap/byte_stream.h"
#include "support/piece_stream.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace tarvex::test {

// Parsers are fed every piece size up to this; past it a message's pieces no longer fall
// differently on the short names and line ends the parsers have to join.
inline constexpr std::size_t kLargestPiece = 64;

// Reads `message` whole (piece 0) and then in pieces of every size from 1 to kLargestPiece.
// `parseAt(message, piece)` feeds it so and returns the outcome (status and every field it read)
// as a value that compares with == and prints. Succeeds when every outcome is the whole one,
// which goes to `whole` when given.
template <class ParseAt,
          class Outcome = std::invoke_result_t<ParseAt, std::string_view, std::size_t>>
[[nodiscard]] ::testing::AssertionResult
sameAtEveryPieceSize(std::string_view message, ParseAt parseAt, Outcome* whole = nullptr) {
    const Outcome first = parseAt(message, 0);
    for (std::size_t piece = 1; piece <= kLargestPiece; ++piece) {
        const Outcome again = parseAt(message, piece);
        if (!(again == first)) {
            return ::testing::AssertionFailure()
                   << "in pieces of " << piece << " bytes:\n  " << ::testing::PrintToString(again)
                   << "\nwhole:\n  " << ::testing::PrintToString(first);
        }
    }
    if (whole != nullptr) {
        *whole = first;
    }
    return ::testing::AssertionSuccess();
}

// The same for a parser that reads a ByteStream: whole from a MemoryStream that lends the bytes in
// place, in pieces from a PieceStream that copies them. `parse(stream)` returns the outcome.
template <class Parse, class Outcome = std::invoke_result_t<Parse, soap::ByteStream&>>
[[nodiscard]] ::testing::AssertionResult sameWholeAndInPieces(std::string_view message, Parse parse,
                                                              Outcome* whole = nullptr) {
    return sameAtEveryPieceSize(
        message,
        [&parse](std::string_view bytes, std::size_t piece) {
            if (piece == 0) {
                soap::MemoryStream stream{bytes};
                return parse(static_cast<soap::ByteStream&>(stream));
            }
            PieceStream stream{bytes, piece};
            return parse(static_cast<soap::ByteStream&>(stream));
        },
        whole);
}

} // namespace tarvex::test
