#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/socket.h>

namespace tarvex::search {

struct Listener {
    int socket; // non-blocking
    int port;
    std::string address; // numeric, as bound
};

// A socket listening on host:port (port 0: any free port), or nothing.
[[nodiscard]] std::optional<Listener> openListener(const std::string& host, int port);

// Serves on `socket`, an IP stream socket already listening (handed over by the service
// manager): makes it non-blocking and reads where it listens. Nothing when it is of neither IP
// family; the socket is left open then.
[[nodiscard]] std::optional<Listener> adoptListener(int socket);

// The numeric address of a peer, "-" when it is of neither IP family.
[[nodiscard]] std::string addressText(const sockaddr_storage& address);

// Raises the descriptor limit as far as allowed and returns how many of `wanted` connections
// fit in it.
[[nodiscard]] std::size_t connectionRoom(std::size_t wanted);

} // namespace tarvex::search
