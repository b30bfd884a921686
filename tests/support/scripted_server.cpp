#include "support/scripted_server.h"

#include "support/request_framing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace tarvex::test {
namespace {

bool sendAll(int connection, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t count =
            ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

int listenOnLoopback(std::uint16_t& port) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(descriptor, 8) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    socklen_t length = sizeof address;
    ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return descriptor;
}

ScriptedServer::ScriptedServer(std::vector<Answer> answers, bool repeatLast)
    : m_answers(std::move(answers)), m_repeatLast(repeatLast) {
    m_listener = listenOnLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

std::string ScriptedServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ScriptedServer::requests() const {
    const std::lock_guard lock{m_lock};
    return m_requests;
}

std::string ScriptedServer::response(int status, const std::string& body,
                                     const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" +
           body;
}

void ScriptedServer::run() {
    std::size_t next = 0;
    while (!m_stop && waitReadable(m_listener, m_stop)) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        ++m_connections;
        while (serve(connection, next)) {
        }
        ::close(connection);
    }
}

// Reads one request and sends the next answer; false when the connection is done.
bool ScriptedServer::serve(int connection, std::size_t& next) {
    std::string request;
    if (!readRequest(socketReceive(connection, m_stop), request)) {
        return false;
    }
    if (!m_repeatLast) {
        const std::lock_guard lock{m_lock};
        m_requests.push_back(request);
    }
    if (next >= m_answers.size() && !(m_repeatLast && !m_answers.empty())) {
        return false;
    }
    const Answer& answer = m_answers[std::min(next++, m_answers.size() - 1)];
    for (const Piece& piece : answer.pieces) {
        for (auto waited = std::chrono::milliseconds{0}; waited < piece.pauseBefore && !m_stop;
             waited += std::chrono::milliseconds{10}) {
            std::this_thread::sleep_for(std::chrono::milliseconds{10});
        }
        if (m_stop || !sendAll(connection, piece.bytes)) {
            return false;
        }
        for (std::size_t index = 0; piece.blocks; ++index) {
            const std::string block = piece.blocks(index);
            if (block.empty()) {
                break;
            }
            // A client that gave up closes its end, and the send fails.
            if (m_stop || !sendAll(connection, block)) {
                return false;
            }
        }
    }
    return !answer.closeAfter;
}

ClosedPort::ClosedPort() : m_descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_descriptor < 0 ||
        ::bind(m_descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind on loopback");
    }
    m_port = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() {
    ::close(m_descriptor);
}

std::string ClosedPort::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

} // namespace tarvex::test
