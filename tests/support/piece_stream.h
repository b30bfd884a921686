#pragma once

#include "soap/byte_stream.h"

#include <cstddef>
#include <string_view>

namespace tarvex::test {

// Bytes handed out at most `piece` at a time (0: all that is asked for), always copied into the
// reader's buffer and with no word on where they end, as a body coming off a socket is. A
// MemoryStream, by contrast, lends its bytes in place and tells when they are used up.
class PieceStream final : public soap::ByteStream {
public:
    PieceStream(std::string_view bytes, std::size_t piece) : m_bytes(bytes, piece) {}

    // Only read(): next() then copies into the reader's scratch and atEnd() never tells.
    [[nodiscard]] HResult read(char* buffer, std::size_t capacity, std::size_t& count) override {
        return m_bytes.read(buffer, capacity, count);
    }

private:
    soap::MemoryStream m_bytes;
};

} // namespace tarvex::test
