#pragma once

// The harness of the fuzz targets that read their input whole and in pieces: the input's first
// byte chooses how it is cut, the rest is what is read, and both reads must come out the same.
#include "soap/byte_stream.h"
#include "support/piece_stream.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvex::fuzz {

// The piece size a leading byte chooses: its low six bits, 1 to 64.
constexpr std::size_t chosenPiece(std::uint8_t lead) {
    return (lead & 0x3FU) + 1;
}

// Reads the input after its first byte whole and in pieces of the size that byte chooses, and
// stops the run where the outcomes differ. read(bytes, piece, flag) gives the outcome of one
// read, piece 0 meaning whole; flag is the byte's bit 0x40, a second choice each target reads its
// own way. An empty input is not read.
template <typename Read>
void checkWholeVsPieces(const std::uint8_t* data, std::size_t size, Read read) {
    if (size == 0) {
        return;
    }
    const std::size_t piece = chosenPiece(data[0]);
    const bool flag = (data[0] & 0x40U) != 0;
    const std::string_view bytes{reinterpret_cast<const char*>(data) + 1, size - 1};
    const auto whole = read(bytes, 0, flag);
    if (read(bytes, piece, flag) != whole) {
        __builtin_trap();
    }
}

// The same for readers of a soap::ByteStream: read(stream) is handed the whole input in one
// MemoryStream, then its pieces, lent in place (a MemoryStream) when the flag is set and copied
// (a PieceStream) when not.
template <typename Read>
void checkStreamWholeVsPieces(const std::uint8_t* data, std::size_t size, Read read) {
    checkWholeVsPieces(data, size, [&](std::string_view bytes, std::size_t piece, bool lent) {
        if (piece == 0 || lent) {
            soap::MemoryStream inPlace{bytes, piece};
            return read(static_cast<soap::ByteStream&>(inPlace));
        }
        test::PieceStream copied{bytes, piece};
        return read(static_cast<soap::ByteStream&>(copied));
    });
}

} // namespace tarvex::fuzz
