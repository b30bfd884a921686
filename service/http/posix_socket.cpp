// Sockets on POSIX: non-blocking descriptors and poll() waits.
#include "http/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>

namespace tarvex::http {
namespace {

constexpr HResult kTimedOut = static_cast<HResult>(0x800705B4U); // the COM form of a timeout
constexpr HResult kNotConnected = static_cast<HResult>(0x80072749U);

HResult fromErrno(int error) {
    return static_cast<HResult>(0x80070000U | (static_cast<unsigned>(error) & 0xFFFFU));
}

class PosixSocket final : public Socket {
public:
    ~PosixSocket() override { close(); }

    HResult connect(const std::string& host, std::uint16_t port) override;
    HResult send(const std::vector<std::string_view>& pieces, std::size_t& sent) override;
    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override;
    void close() override {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
            m_descriptor = -1;
        }
        m_connected = false;
    }
    [[nodiscard]] bool connected() const override { return m_connected; }
    [[nodiscard]] bool reusable() override {
        if (!m_connected) {
            return false;
        }
        pollfd descriptor{m_descriptor, POLLIN, 0};
        return ::poll(&descriptor, 1, 0) == 0;
    }
    void setTimeout(std::uint32_t milliseconds) override { m_timeoutMs = milliseconds; }
    void setDeadline(Deadline deadline) override { m_deadline = deadline; }
    [[nodiscard]] int lastError() const override { return m_lastError; }

private:
    // Waits for `events` up to `limitMs` (and the deadline); kOk when they came.
    HResult wait(short events, std::uint32_t limitMs);
    HResult fail(HResult status, int error) {
        m_lastError = error;
        return status;
    }

    int m_descriptor = -1;
    bool m_connected = false;
    std::uint32_t m_timeoutMs = kDefaultTimeoutMs;
    Deadline m_deadline = Deadline::max();
    int m_lastError = 0;
    std::mutex m_sendLock;
    std::mutex m_receiveLock;
};

HResult PosixSocket::wait(short events, std::uint32_t limitMs) {
    const auto now = std::chrono::steady_clock::now();
    std::int64_t budget = limitMs;
    if (m_deadline != Deadline::max()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - now).count();
        budget = std::min<std::int64_t>(budget, std::max<std::int64_t>(left, 0));
    }
    const auto until = now + std::chrono::milliseconds(budget);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        pollfd descriptor{m_descriptor, events, 0};
        const int ready = ::poll(&descriptor, 1, static_cast<int>(std::max<std::int64_t>(left, 0)));
        if (ready > 0) {
            return kOk;
        }
        if (ready == 0) {
            return fail(kTimedOut, ETIMEDOUT);
        }
        if (errno != EINTR) {
            return fail(fromErrno(errno), errno);
        }
    }
}

HResult PosixSocket::connect(const std::string& host, std::uint16_t port) {
    close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (error != 0 || found == nullptr) {
            return fail(kFail, error);
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    m_descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_descriptor < 0) {
        return fail(fromErrno(errno), errno);
    }
    const int one = 1;
    ::setsockopt(m_descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(m_descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            const int error = errno;
            close();
            return fail(fromErrno(error), error);
        }
        if (const HResult status = wait(POLLOUT, kConnectTimeoutMs); failed(status)) {
            close();
            return status;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            close();
            return fail(fromErrno(error), error);
        }
    }
    m_connected = true;
    return kOk;
}

HResult PosixSocket::send(const std::vector<std::string_view>& pieces, std::size_t& sent) {
    const std::lock_guard lock{m_sendLock};
    sent = 0;
    if (!m_connected) {
        return fail(kNotConnected, ENOTCONN);
    }
    std::vector<iovec> vectors;
    try {
        for (const std::string_view piece : pieces) {
            if (!piece.empty()) {
                vectors.push_back(iovec{const_cast<char*>(piece.data()), piece.size()});
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    std::size_t first = 0;
    while (first < vectors.size()) {
        if (const HResult status = wait(POLLOUT, m_timeoutMs); failed(status)) {
            return status;
        }
        msghdr message{};
        message.msg_iov = vectors.data() + first;
        message.msg_iovlen = std::min<std::size_t>(vectors.size() - first, IOV_MAX);
        const ssize_t count = ::sendmsg(m_descriptor, &message, MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return fail(fromErrno(errno), errno);
        }
        sent += static_cast<std::size_t>(count);
        // Step over what went out.
        auto left = static_cast<std::size_t>(count);
        while (first < vectors.size() && left >= vectors[first].iov_len) {
            left -= vectors[first].iov_len;
            ++first;
        }
        if (first < vectors.size()) {
            vectors[first].iov_base = static_cast<char*>(vectors[first].iov_base) + left;
            vectors[first].iov_len -= left;
        }
    }
    return kOk;
}

HResult PosixSocket::receive(char* buffer, std::size_t capacity, std::size_t& count) {
    const std::lock_guard lock{m_receiveLock};
    count = 0;
    if (!m_connected) {
        return fail(kNotConnected, ENOTCONN);
    }
    while (true) {
        if (const HResult status = wait(POLLIN, m_timeoutMs); failed(status)) {
            return status;
        }
        const ssize_t received = ::recv(m_descriptor, buffer, capacity, 0);
        if (received >= 0) {
            count = static_cast<std::size_t>(received);
            return kOk;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return fail(fromErrno(errno), errno);
        }
    }
}

} // namespace

std::unique_ptr<Socket> createSocket() {
    return std::unique_ptr<Socket>(new (std::nothrow) PosixSocket());
}

} // namespace tarvex::http
