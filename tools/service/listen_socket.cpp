#include "service/listen_socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::search {
namespace {

// Descriptors kept for everything but client connections (listener, log, database, pipes).
constexpr std::size_t kSpareDescriptors = 64;

// The listener on `socket` with the address and port it is bound to, if an IP one.
std::optional<Listener> boundListener(int socket) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return std::nullopt;
    }
    if (bound.ss_family == AF_INET6) {
        return Listener{socket, ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port),
                        addressText(bound)};
    }
    if (bound.ss_family == AF_INET) {
        return Listener{socket, ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port),
                        addressText(bound)};
    }
    return std::nullopt;
}

} // namespace

std::optional<Listener> openListener(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return std::nullopt;
    }
    int listener = -1;
    for (const addrinfo* entry = found; entry != nullptr && listener < 0; entry = entry->ai_next) {
        const int fd =
            ::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // A burst of clients connecting at once must not overflow a short backlog and wait a
        // second or more for their connections to be retried.
        if (::bind(fd, entry->ai_addr, entry->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
            listener = fd;
        } else {
            ::close(fd);
        }
    }
    freeaddrinfo(found);
    if (listener < 0) {
        return std::nullopt;
    }
    auto opened = boundListener(listener);
    if (!opened) {
        ::close(listener);
    }
    return opened;
}

std::optional<Listener> adoptListener(int socket) {
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        return std::nullopt;
    }
    return boundListener(socket);
}

std::string addressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (address.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text,
                  sizeof text);
    } else if (address.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                  sizeof text);
    }
    return text;
}

std::size_t connectionRoom(std::size_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return wanted;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY) {
        return wanted;
    }
    const auto room = static_cast<std::size_t>(limit.rlim_cur);
    return std::clamp<std::size_t>(room > kSpareDescriptors ? room - kSpareDescriptors : 1, 1,
                                   wanted);
}

} // namespace tarvex::search
