#pragma once

#include "byte_source.h"
#include "header_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::http {

// How the last response read ended.
enum class ReadResult : std::int32_t {
    Done = 0,
    InvalidStatusLine = 2,
    HeaderBlockUnreadable = 3,
    HeaderReadFailed = 4,
    BodyReadFailed = 5,
    ChunkedBodyFailed = 6,
    NothingRead = 7,
};

// Caps on what a server may send, so that no answer can exhaust memory.
inline constexpr std::size_t kMaxResponseBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxHeaderLine = 1024;
inline constexpr std::uint32_t kMaxChunkSize = 0x7FFFFFFF;

struct HttpResponse {
    std::int32_t status = -1;
    HeaderTable headers;
    std::vector<std::string> challenges; // www-authenticate and proxy-authenticate values, in order
    std::string body;
    ReadResult lastResult = ReadResult::NothingRead;

    void reset();
    // The "Content-Length" header as a number; -1 when absent, -2 when it is no number.
    [[nodiscard]] std::int64_t contentLength() const;
};

// Reads one response (RFC 9112): status line, header lines, and a body that is chunked, of known
// length, or runs to the end of the connection. Interim 100 responses are skipped. The result is
// also kept in `response.lastResult`.
ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize);

} // namespace tarvex::http
