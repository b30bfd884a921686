#pragma once

// What the two halves of the HTTP front share: limits of a connection and plain answers.
#include "service/http_server.h"

#include <cerrno>
#include <cstddef>

namespace tarvex::search::server {

// Bytes taken from a socket in one read.
inline constexpr std::size_t kReadBytes = std::size_t{64} << 10;
// Output held in the kernel for a connection and not yet sent, past which it takes no more
// (TCP_NOTSENT_LOWAT): a few answers' worth, a ten-result search answer being about 11 KB. The
// rest of the answer then waits in the connection's buffer, and its next request is read only
// once the client has taken enough for all of it to be handed over; so a client that pipelines
// requests and reads no answers costs this, its receive window and one answer, however many it
// sends. What is in flight is not counted, so a fast client is not slowed down.
inline constexpr std::size_t kMaxUnsentBytes = std::size_t{64} << 10;
// What a closing connection may still send before it is cut off.
inline constexpr std::size_t kMaxLingerBytes = std::size_t{4} << 20;
inline constexpr const char* kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

// A short text answer after which the connection closes.
[[nodiscard]] inline HttpResponse plain(int status, const char* text) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = text;
    response.close = true;
    return response;
}

// The last socket call failed only for want of data or room, or for a signal.
[[nodiscard]] inline bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace tarvex::search::server
