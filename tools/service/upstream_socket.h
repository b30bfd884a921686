#pragma once

#include "http/socket.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct in_addr;

namespace tarvex::search {

// What a connection to an upstream may do.
struct UpstreamRules {
    // Only addresses on the internet: after the name is resolved, loopback, private, shared,
    // link-local, multicast and reserved addresses are refused, so a page fetch can never reach
    // the machine or its network.
    bool publicOnly = false;
    bool allowLoopback = false;      // with publicOnly: loopback addresses pass all the same
    std::size_t maxBytes = 0;        // bytes received over the connection at most
    http::Socket::Deadline deadline; // no wait goes past it
};

// Why a connection gave up, when it was one of its own rules and not the network.
struct UpstreamNote {
    std::atomic<bool> addressRefused{false};
    std::atomic<bool> unknownHost{false};
    std::atomic<bool> lookupTimedOut{false};
    std::atomic<bool> tooLarge{false};
};

// True for an IPv4 address that is routed on the internet.
[[nodiscard]] bool isPublicAddress(const in_addr& address);

// A socket that resolves the name itself, connects to the address it checked (so a second
// lookup cannot lead elsewhere), counts what it receives and keeps every wait within the
// deadline.
[[nodiscard]] std::unique_ptr<http::Socket>
createUpstreamSocket(std::unique_ptr<http::Socket> inner, UpstreamRules rules,
                     std::shared_ptr<UpstreamNote> note);

} // namespace tarvex::search
