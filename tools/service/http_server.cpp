#include "service/http_server.h"

#include "service/http_server_parts.h"
#include "service/listen_socket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;

// A pause in accepting when no descriptor or no slot is free.
constexpr auto kAcceptPause = 50ms;
constexpr auto kLongestWait = 1000ms;
// New connections taken in one turn of the loop, so that the ones already open get their turn.
constexpr int kAcceptsPerTurn = 256;

using server::plain;

} // namespace

HttpServer::HttpServer(HttpHandler& handler, ServerLimits limits, std::FILE* log,
                       const TlsServerContext* tls)
    : m_handler(handler), m_limits(limits), m_log(log), m_tls(tls) {
    m_limits.connections = connectionRoom(std::max<std::size_t>(m_limits.connections, 1));
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_wakeRead = ends[0];
        m_wakeWrite = ends[1];
    }
    m_pool = std::make_unique<WorkerPool>(std::max<std::size_t>(m_limits.workers, 1));
}

HttpServer::~HttpServer() {
    m_pool.reset();
    closeAll();
    for (const int fd : {m_listener, m_wakeRead, m_wakeWrite}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void HttpServer::adopt(const Listener& listener) {
    if (m_listener >= 0) {
        ::close(m_listener);
    }
    m_listener = listener.socket;
}

void HttpServer::stop() {
    m_stopping = true;
    wake();
}

void HttpServer::wake() {
    if (m_wakeWrite >= 0) {
        const char byte = 0;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t put = ::write(m_wakeWrite, &byte, 1);
    }
}

ServeEnd HttpServer::run() {
    if (m_listener < 0 || m_wakeRead < 0) {
        return ServeEnd::Failed;
    }
    ServeEnd end = ServeEnd::Stopped;
    m_quietSince = Clock::now();
    int waitMs = static_cast<int>(kLongestWait.count());
    std::vector<pollfd> watched;
    std::vector<std::uint64_t> ids;
    while (!m_stopping) {
        Clock::time_point now = Clock::now();
        watched.clear();
        ids.clear();
        watched.push_back({m_wakeRead, POLLIN, 0});
        const bool accepting = now >= m_acceptPausedUntil;
        watched.push_back({accepting ? m_listener : -1, POLLIN, 0});
        if (!accepting) {
            waitMs = std::min(waitMs, static_cast<int>(kAcceptPause.count()));
        }
        for (const auto& [id, connection] : m_connections) {
            const short events = pollEvents(connection);
            watched.push_back({events != 0 ? connection.socket : -1, events, 0});
            ids.push_back(id);
        }
        if (::poll(watched.data(), watched.size(), waitMs) < 0 && errno != EINTR) {
            end = ServeEnd::Failed;
            break;
        }
        if (m_stopping) {
            break;
        }
        if (watched[0].revents != 0) {
            char drain[256];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
            takeCompletions();
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            handleEvents(ids[i], watched[i + 2].revents);
        }
        now = Clock::now();
        if (watched[1].revents != 0) {
            acceptAll(now);
        }
        waitMs = expire(Clock::now());
        if (idleLongEnough(waitMs)) {
            end = ServeEnd::Idle;
            break;
        }
    }
    closeAll();
    return end;
}

short HttpServer::pollEvents(const Connection& connection) {
    switch (connection.phase) {
    case Phase::Reading: {
        // A TLS handshake may have to wait until the socket takes more.
        const bool writing =
            !connection.output.empty() || (connection.tls && connection.tls->wantsWrite());
        return static_cast<short>(POLLIN | (writing ? POLLOUT : 0));
    }
    case Phase::Writing:
        return POLLOUT;
    case Phase::Lingering:
        return POLLIN;
    case Phase::Working:
        break; // nothing to do until its answer is ready
    }
    return 0;
}

void HttpServer::handleEvents(std::uint64_t id, short revents) {
    const auto found = m_connections.find(id);
    if (revents == 0 || found == m_connections.end()) {
        return;
    }
    Connection& connection = found->second;
    bool keep = true;
    const bool tlsWaits = connection.phase == Phase::Reading && connection.tls &&
                          connection.tls->wantsWrite() && (revents & POLLOUT) != 0;
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 || tlsWaits) {
        keep = receive(connection);
    }
    if (keep && !serve(id, connection)) {
        keep = false;
    }
    if (!keep) {
        close(id);
    }
}

// True once no connection has been open for the idle time and none is waiting to be accepted;
// else shortens the wait so that the loop looks again when that time is up.
bool HttpServer::idleLongEnough(int& waitMs) {
    if (m_limits.idleExit.count() <= 0 || !m_connections.empty()) {
        return false;
    }
    const auto quiet = Clock::now() - m_quietSince;
    if (quiet < m_limits.idleExit) {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(m_limits.idleExit - quiet);
        waitMs = static_cast<int>(std::clamp<std::int64_t>(rest.count(), 1, waitMs));
        return false;
    }
    // A client that connected since the last look is served first. One left in the backlog
    // still would not be lost: the service manager holds the socket too and starts the
    // service again for it.
    pollfd listener{m_listener, POLLIN, 0};
    return ::poll(&listener, 1, 0) == 0;
}

void HttpServer::acceptAll(Clock::time_point now) {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&address), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == ECONNABORTED || errno == EINTR) {
                continue;
            }
            // Out of descriptors: one is freed for the next turn, or accepting pauses.
            if ((errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) &&
                !makeRoom()) {
                m_acceptPausedUntil = now + kAcceptPause;
            }
            return;
        }
        // Every connection is busy being answered: the newcomer cannot be taken now.
        if (m_connections.size() >= m_limits.connections && !makeRoom()) {
            ::close(fd);
            m_acceptPausedUntil = now + kAcceptPause;
            return;
        }
        // An answer too large for one write goes in pieces; the last must not wait for the
        // client's delayed acknowledgement of the one before (about 40 ms).
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        // Caps what a client that does not read its answers makes the kernel hold for it.
        const int unsent = static_cast<int>(server::kMaxUnsentBytes);
        setsockopt(fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &unsent, sizeof unsent);
        const auto [added, fresh] = m_connections.try_emplace(m_nextId++, fd, addressText(address),
                                                              m_limits.maxBodyBytes, now);
        if (m_tls != nullptr) {
            added->second.tls = m_tls->accept(fd);
            if (!added->second.tls) {
                close(added->first);
            }
        }
    }
}

bool HttpServer::makeRoom() {
    // A closing connection goes first; then one that waits on its client, to send a request or
    // to take its answer; then one whose request is still arriving. Within each, the one that
    // has made no progress longest. One being answered is never cut.
    const auto rank = [](const Connection& connection) {
        switch (connection.phase) {
        case Phase::Lingering:
            return 0;
        case Phase::Reading:
            return connection.requestOpen ? 2 : 1;
        case Phase::Writing:
            return 1;
        case Phase::Working:
            break;
        }
        return 3;
    };
    // Ties go to the connection opened first (ids grow).
    const auto before = [&rank](const auto& a, const auto& b) {
        return std::tuple{rank(a.second), a.second.lastProgress, a.first} <
               std::tuple{rank(b.second), b.second.lastProgress, b.first};
    };
    auto chosen = m_connections.end();
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (rank(it->second) < 3 && (chosen == m_connections.end() || before(*it, *chosen))) {
            chosen = it;
        }
    }
    if (chosen == m_connections.end()) {
        return false;
    }
    close(chosen->first);
    return true;
}

int HttpServer::expire(Clock::time_point now) {
    auto next = now + kLongestWait;
    std::vector<std::uint64_t> expired;
    std::vector<std::uint64_t> late;
    for (auto& [id, connection] : m_connections) {
        Clock::time_point deadline = Clock::time_point::max();
        switch (connection.phase) {
        case Phase::Reading:
            deadline = connection.requestOpen ? connection.since + m_limits.requestTime
                                              : connection.lastProgress + m_limits.idleTime;
            break;
        case Phase::Writing:
            deadline = connection.since + m_limits.writeTime;
            break;
        case Phase::Lingering:
            deadline = connection.since + m_limits.lingerTime;
            break;
        case Phase::Working:
            break;
        }
        if (deadline <= now) {
            (connection.phase == Phase::Reading && connection.requestOpen ? late : expired)
                .push_back(id);
        } else {
            next = std::min(next, deadline);
        }
    }
    for (const std::uint64_t id : expired) {
        close(id);
    }
    // A request that took too long is told so; the connection closes after the answer.
    for (const std::uint64_t id : late) {
        Connection& connection = m_connections.at(id);
        respond(connection, plain(408, "The request took too long to arrive\n"));
        if (!serve(id, connection)) {
            close(id);
        } else {
            next = std::min(next, connection.since + m_limits.lingerTime);
        }
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
    return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 1, kLongestWait.count()));
}

void HttpServer::close(std::uint64_t id) {
    const auto found = m_connections.find(id);
    if (found != m_connections.end()) {
        ::close(found->second.socket);
        m_connections.erase(found);
        if (m_connections.empty()) {
            m_quietSince = Clock::now();
        }
    }
}

void HttpServer::closeAll() {
    // shutdown() ends the connection for the client at once, whatever it was waiting for.
    for (auto& [id, connection] : m_connections) {
        ::shutdown(connection.socket, SHUT_RDWR);
        ::close(connection.socket);
    }
    m_connections.clear();
}

} // namespace tarvex::search
