// The connection side of the HTTP front: reading requests, handing whole ones to the workers,
// writing answers back, over plain sockets and TLS.
#include "service/http_server.h"

#include "service/http_server_parts.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::search {

using server::kContinue;
using server::kMaxLingerBytes;
using server::kReadBytes;
using server::plain;
using server::wouldBlock;

bool HttpServer::receive(Connection& connection) {
    if (connection.phase == Phase::Working || connection.phase == Phase::Writing) {
        // Only a hang-up or an error wakes these: the client is gone.
        char probe = 0;
        const ssize_t got = ::recv(connection.socket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        return got > 0 || (got < 0 && wouldBlock());
    }
    if (connection.tls && connection.phase == Phase::Reading) {
        return receiveTls(connection);
    }
    char buffer[kReadBytes];
    const ssize_t got = ::recv(connection.socket, buffer, sizeof buffer, 0);
    if (got == 0) {
        return false;
    }
    if (got < 0) {
        return wouldBlock();
    }
    connection.lastProgress = Clock::now();
    if (connection.phase == Phase::Lingering) {
        connection.dropped += static_cast<std::size_t>(got);
        return connection.dropped <= kMaxLingerBytes;
    }
    connection.input.append(buffer, static_cast<std::size_t>(got));
    return true;
}

// Reads what TLS has for the request, up to one plain read's worth: the handshake's first part,
// then decrypted bytes. A lingering connection is read raw, as its bytes are dropped anyway.
bool HttpServer::receiveTls(Connection& connection) {
    char buffer[kReadBytes];
    std::size_t taken = 0;
    while (taken < kReadBytes) {
        std::size_t count = 0;
        switch (connection.tls->read(buffer, sizeof buffer, count)) {
        case TlsIo::Done:
            connection.input.append(buffer, count);
            connection.lastProgress = Clock::now();
            taken += count;
            break;
        case TlsIo::WouldBlock:
            return true;
        case TlsIo::Closed:
        case TlsIo::Failed:
            return false;
        }
    }
    return true;
}

bool HttpServer::flushTls(Connection& connection) {
    std::size_t sent = 0;
    while (sent < connection.output.size()) {
        std::size_t put = 0;
        const TlsIo result = connection.tls->write(connection.output.data() + sent,
                                                   connection.output.size() - sent, put);
        if (result == TlsIo::WouldBlock) {
            break;
        }
        if (result != TlsIo::Done) {
            return false;
        }
        sent += put;
    }
    noteSent(connection, sent);
    return true;
}

bool HttpServer::serve(std::uint64_t id, Connection& connection) {
    for (;;) {
        switch (connection.phase) {
        case Phase::Reading:
            if (!flush(connection)) {
                return false;
            }
            advance(id, connection);
            if (connection.phase != Phase::Writing) {
                return true;
            }
            break;
        case Phase::Writing:
            if (!flush(connection)) {
                return false;
            }
            if (!connection.output.empty()) {
                return true;
            }
            if (connection.closeAfter) {
                if (connection.tls) {
                    connection.tls->closeNotify();
                }
                ::shutdown(connection.socket, SHUT_WR);
                connection.phase = Phase::Lingering;
                connection.since = Clock::now();
                return true;
            }
            // The next request, which may already be here (pipelined).
            connection.parser.reset();
            connection.phase = Phase::Reading;
            connection.requestOpen = false;
            connection.since = Clock::now();
            break;
        case Phase::Working:
        case Phase::Lingering:
            return true;
        }
    }
}

void HttpServer::advance(std::uint64_t id, Connection& connection) {
    while (connection.phase == Phase::Reading) {
        if (!connection.requestOpen) {
            if (connection.input.empty()) {
                return;
            }
            connection.requestOpen = true;
            connection.since = Clock::now();
        }
        switch (connection.parser.take(connection.input)) {
        case ParseStatus::NeedMore:
            return;
        case ParseStatus::Failed: {
            const int status = connection.parser.failure();
            respond(connection, plain(status, reasonPhrase(status)));
            return;
        }
        case ParseStatus::Head: {
            const RequestHead& head = connection.parser.head();
            if (auto early = m_handler.screen(head)) {
                // A body left unread would be taken for the next request.
                early->close = early->close || head.hasBody();
                respond(connection, *early);
                return;
            }
            if (head.hasBody() && head.expectsContinue()) {
                connection.output += kContinue;
            }
            break;
        }
        case ParseStatus::Message: {
            connection.phase = Phase::Working;
            auto request = std::make_shared<HttpRequest>(
                HttpRequest{connection.parser.head(), std::move(connection.parser.body())});
            m_pool->submit([this, id, request] {
                Completion done{id, {}};
                try {
                    done.response = m_handler.answer(*request);
                } catch (const std::exception&) {
                    done.response = plain(500, "The request could not be answered\n");
                }
                {
                    const std::lock_guard lock{m_doneMutex};
                    m_done.push_back(std::move(done));
                }
                wake();
            });
            return;
        }
        }
    }
}

void HttpServer::respond(Connection& connection, const HttpResponse& response) {
    const RequestHead& head = connection.parser.head();
    ++connection.served;
    connection.closeAfter = response.close || head.method.empty() || !head.keepAlive() ||
                            connection.served >= m_limits.requestsPerConnection || m_stopping;
    std::string& out = connection.output;
    out += "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) +
           "\r\n";
    if (!response.contentType.empty()) {
        out += "Content-Type: " + response.contentType + "\r\n";
    }
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.fields) {
        out.append(name).append(": ").append(value).append("\r\n");
    }
    if (connection.closeAfter) {
        out += "Connection: close\r\n";
    } else if (head.minorVersion == 0) {
        out += "Connection: keep-alive\r\n";
    }
    out += "\r\n";
    // HEAD gets the fields a GET would, without the body (RFC 9110 9.3.2).
    if (head.method != "HEAD") {
        out += response.body;
    }
    connection.phase = Phase::Writing;
    connection.since = Clock::now();
    if (m_log != nullptr) {
        // One write per line, so lines cannot mix.
        const std::string line =
            connection.peer + " \"" + (head.method.empty() ? "-" : head.method) + " " +
            (head.path.empty() ? "-" : head.path) + "\" " + std::to_string(response.status) + " " +
            std::to_string(response.body.size()) + " " +
            (response.operation.empty() ? "-" : response.operation) + "\n";
        std::fputs(line.c_str(), m_log);
        std::fflush(m_log);
    }
}

bool HttpServer::flush(Connection& connection) {
    if (connection.tls) {
        return flushTls(connection);
    }
    std::size_t sent = 0;
    while (sent < connection.output.size()) {
        const ssize_t put = ::send(connection.socket, connection.output.data() + sent,
                                   connection.output.size() - sent, MSG_NOSIGNAL);
        if (put < 0) {
            if (wouldBlock()) {
                break;
            }
            return false;
        }
        sent += static_cast<std::size_t>(put);
    }
    noteSent(connection, sent);
    return true;
}

void HttpServer::noteSent(Connection& connection, std::size_t sent) {
    if (sent > 0) {
        connection.output.erase(0, sent);
        connection.lastProgress = Clock::now();
    }
}

void HttpServer::takeCompletions() {
    std::vector<Completion> done;
    {
        const std::lock_guard lock{m_doneMutex};
        done.swap(m_done);
    }
    for (Completion& completion : done) {
        const auto found = m_connections.find(completion.id);
        if (found == m_connections.end() || found->second.phase != Phase::Working) {
            continue;
        }
        respond(found->second, completion.response);
        if (!serve(completion.id, found->second)) {
            close(completion.id);
        }
    }
}

} // namespace tarvex::search
