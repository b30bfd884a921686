#pragma once

#include "soap/byte_stream.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace tarvex::test {

// Bytes handed out at most `piece` at a time (0: all that is asked for), always copied into the
// reader's buffer and with no word on where they end, as a body coming off a socket is. A
// MemoryStream, by contrast, lends its bytes in place and tells when they are used up.
class PieceStream final : public soap::ByteStream {
public:
    PieceStream(std::string_view bytes, std::size_t piece) : m_bytes(bytes), m_piece(piece) {}

    [[nodiscard]] HResult read(char* buffer, std::size_t capacity, std::size_t& count) override {
        count = std::min(capacity, m_bytes.size());
        if (m_piece > 0) {
            count = std::min(count, m_piece);
        }
        m_bytes.copy(buffer, count);
        m_bytes.remove_prefix(count);
        return kOk;
    }

private:
    std::string_view m_bytes;
    std::size_t m_piece;
};

} // namespace tarvex::test
