#pragma once

#include "http/byte_source.h"
#include "http/clock.h"
#include "http/failure_reason.h"
#include "http/header_table.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Caps on what a server may send, so that no answer can exhaust memory or hold the reader for
// long. Going past one is a read failure.
inline constexpr std::size_t kMaxResponseBytes = std::size_t{64} << 20;
// A header name or value this long or longer is ignored.
inline constexpr std::size_t kMaxHeaderLine = 1024;
inline constexpr std::uint32_t kMaxChunkSize = 0x7FFFFFFF;
// Header and trailer lines of one response together. Far above what any real answer carries, and
// low enough that names built to share one hash cannot make the header table slow.
inline constexpr std::size_t kMaxHeaderLines = 256;
// Bytes of the header blocks (interim ones too) and trailer lines of one response together; this
// bounds what the header table can grow to.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;

struct HttpResponse {
    std::int32_t status = -1;
    HeaderTable headers;
    std::vector<std::string> challenges; // www-authenticate and proxy-authenticate values, in order
    std::string body;
    ReadResult lastResult = ReadResult::NothingRead;
    // Why the last read failed, where it has a name (None when it did not fail).
    FailureReason failure = FailureReason::None;
    // Bytes came after the body in the same receive: the connection no longer starts at an
    // answer's first byte and must not carry another request.
    bool bytesAfterBody = false;

    // The "Content-Length" header: absent, a length, or malformed (no number, or negative).
    struct ContentLength {
        std::optional<std::uint64_t> length; // empty when absent or malformed
        bool malformed = false;
    };

    void reset();
    [[nodiscard]] ContentLength contentLength() const;
};

// Reads one response (RFC 9112): status line, header lines, and a body that is chunked, of known
// length, or runs to the end of the connection. Interim 100 responses are skipped. The result is
// also kept in `response.lastResult`.
ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize);
// The same within a time limit: once `clock` is past `deadline` the read fails as a read failure
// of the part it is in. The clock is looked at before every receive, after the header lines and
// at the end, so time spent on the answer counts as well as the waits for it.
ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize,
                        const Clock& clock, Clock::TimePoint deadline);

} // namespace tarvex::http
