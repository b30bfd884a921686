#include "soap/byte_stream.h"

#include <algorithm>

namespace tarvex::soap {

HResult MemoryStream::read(char* buffer, std::size_t capacity, std::size_t& count) {
    if (buffer == nullptr && capacity > 0) {
        return kPointer;
    }
    const std::string_view piece = take(capacity);
    piece.copy(buffer, piece.size());
    count = piece.size();
    return kOk;
}

HResult MemoryStream::next(std::string_view& chunk, char* /*scratch*/, std::size_t capacity) {
    chunk = take(capacity);
    return kOk;
}

std::string_view MemoryStream::take(std::size_t capacity) {
    std::size_t count = std::min(capacity, m_bytes.size());
    if (m_chunk > 0) {
        count = std::min(count, m_chunk);
    }
    const std::string_view piece = m_bytes.substr(0, count);
    m_bytes.remove_prefix(count);
    return piece;
}

} // namespace tarvex::soap
