#include "support/request_framing.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>

namespace tarvex::test {

bool waitReadable(int descriptor, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd entry{descriptor, POLLIN, 0};
        if (::poll(&entry, 1, 50) > 0) {
            return true;
        }
    }
    return false;
}

Receive socketReceive(int connection, const std::atomic<bool>& stop) {
    return [connection, &stop](char* buffer, std::size_t capacity) -> std::size_t {
        if (!waitReadable(connection, stop)) {
            return 0;
        }
        const ssize_t count = ::recv(connection, buffer, capacity, 0);
        return count > 0 ? static_cast<std::size_t>(count) : 0;
    };
}

bool readRequest(const Receive& receive, std::string& request, std::size_t maxHead) {
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    std::size_t wanted = 0;
    while (true) {
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const std::size_t at = request.find("Content-Length: ");
                const std::size_t length =
                    at != std::string::npos && at < headEnd
                        ? std::strtoul(request.c_str() + at + 16, nullptr, 10)
                        : 0;
                wanted = headEnd + 4 + length;
            } else if (request.size() >= maxHead) {
                return false;
            }
        }
        if (headEnd != std::string::npos && request.size() >= wanted) {
            return true;
        }
        const std::size_t count = receive(buffer, sizeof buffer);
        if (count == 0) {
            return false;
        }
        request.append(buffer, count);
    }
}

} // namespace tarvex::test
