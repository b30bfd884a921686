#pragma once

#include "base/status.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex::soap {

// A source of bytes read once from start to end: a response body.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Reads up to `capacity` bytes into `buffer`; `count` 0 means the end. A negative status is
    // a read failure.
    [[nodiscard]] virtual HResult read(char* buffer, std::size_t capacity, std::size_t& count) = 0;
    // The next bytes (at most `capacity`), in place where the stream holds them in memory, else
    // read into `scratch`; an empty chunk means the end.
    [[nodiscard]] virtual HResult next(std::string_view& chunk, char* scratch,
                                       std::size_t capacity) {
        std::size_t count = 0;
        const HResult status = read(scratch, capacity, count);
        chunk = std::string_view{scratch, failed(status) ? 0 : count};
        return status;
    }
    // True when the stream knows that nothing follows what it has handed out.
    [[nodiscard]] virtual bool atEnd() const { return false; }
};

// Bytes held in memory, handed out at most `chunk` at a time (0: no limit), so that a parser can
// be fed whole documents and single bytes alike.
class MemoryStream final : public ByteStream {
public:
    explicit MemoryStream(std::string_view bytes, std::size_t chunk = 0)
        : m_bytes(bytes), m_chunk(chunk) {}

    [[nodiscard]] HResult read(char* buffer, std::size_t capacity, std::size_t& count) override;
    [[nodiscard]] HResult next(std::string_view& chunk, char* scratch,
                               std::size_t capacity) override;
    [[nodiscard]] bool atEnd() const override { return m_bytes.empty(); }

private:
    // The next piece: at most `capacity` bytes and at most one chunk.
    [[nodiscard]] std::string_view take(std::size_t capacity);

    std::string_view m_bytes;
    std::size_t m_chunk;
};

} // namespace tarvex::soap
