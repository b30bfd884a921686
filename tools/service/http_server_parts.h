#pragma once

// What the two halves of the HTTP front share: limits of a connection and plain answers.
#include "service/http_server.h"

#include <cerrno>
#include <cstddef>

namespace tarvex::search::server {

// Bytes taken from a socket in one read.
inline constexpr std::size_t kReadBytes = std::size_t{64} << 10;
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
