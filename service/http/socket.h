#pragma once

#include "base/status.h"
#include "http/byte_source.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::http {

// How long a connect, a send or a wait for bytes may take unless told otherwise.
inline constexpr std::uint32_t kDefaultTimeoutMs = 10000;

// One IPv4 TCP stream connection with a time limit on every wait.
class Socket : public ByteSource {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // Waits for a connection are fixed; sends and receives use the timeout.
    static constexpr std::uint32_t kConnectTimeoutMs = kDefaultTimeoutMs;

    // Resolves `host` (a dotted IPv4 address, or a name looked up for IPv4/TCP) and connects.
    [[nodiscard]] virtual HResult connect(const std::string& host, std::uint16_t port) = 0;
    // Sends every byte of the pieces, in order; `sent` counts what went out.
    [[nodiscard]] virtual HResult send(const std::vector<std::string_view>& pieces,
                                       std::size_t& sent) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool connected() const = 0;
    // Connected, and the peer has neither closed nor sent anything unasked: a kept connection
    // that may carry the next request.
    [[nodiscard]] virtual bool reusable() = 0;
    // The limit of each send and receive wait.
    virtual void setTimeout(std::uint32_t milliseconds) = 0;
    // No wait goes past this moment, whatever the timeout.
    virtual void setDeadline(Deadline deadline) = 0;
    // The platform's code of the last failure, kept for diagnosis.
    [[nodiscard]] virtual int lastError() const = 0;
};

// Makes the socket for a URL's scheme ("http", "https"); null when the scheme has none or memory
// ran out. The client does not know which kind of socket it gets.
using SocketFactory = std::function<std::unique_ptr<Socket>(std::string_view scheme)>;

// The platform's plain sockets.
[[nodiscard]] std::unique_ptr<Socket> createSocket();

// Plain sockets for http, TLS ones trusting the system's store for https.
[[nodiscard]] std::unique_ptr<Socket> createSocketFor(std::string_view scheme);

} // namespace tarvex::http
