#include "http/http_client.h"

#include <new>

namespace tarvex::http {
namespace {

// No authentication scheme is registered: 401 and 407 answers fail.
bool authenticate(const std::vector<std::string>& /*challenges*/) {
    return false;
}

bool fetchable(const Url& url) {
    return (url.scheme == "http" || url.scheme == "https") && !url.host.empty();
}

// A redirect may keep the scheme or go from http to https, never down to plain http.
bool mayRedirect(const Url& from, const Url& to) {
    return fetchable(to) && (from.scheme == to.scheme || to.scheme == "https");
}

} // namespace

HttpClient::HttpClient(SocketFactory sockets, const Clock& clock,
                       std::shared_ptr<FailureReasonNote> failures)
    : m_sockets(std::move(sockets)), m_clock(clock), m_failures(std::move(failures)) {}

HttpClient::~HttpClient() {
    closeConnection();
}

void HttpClient::closeConnection() {
    if (m_socket) {
        m_socket->close();
    }
    m_connectedHost.clear();
    m_connectedPort = 0;
}

std::string HttpClient::requestText(const Url& url, const RequestSettings& settings) {
    std::string text;
    text.append(settings.method)
        .append(" ")
        .append(url.path)
        .append(url.extra)
        .append(" HTTP/1.1\r\n");
    if (!settings.body.empty()) {
        text.append("Content-Length: ").append(std::to_string(settings.body.size())).append("\r\n");
    }
    if (!settings.contentType.empty()) {
        text.append("Content-Type: ").append(settings.contentType).append("\r\n");
    }
    text.append(settings.extraHeaders);
    text.append("Host: ").append(url.host).append("\r\n");
    text.append("User-Agent: Tarvex-Native/7.00\r\n");
    text.append("\r\n");
    return text;
}

bool HttpClient::ensureConnected(const Url& url, bool& reused) {
    reused = m_socket && m_socketScheme == url.scheme && m_socket->reusable() &&
             m_connectedHost == url.host && m_connectedPort == url.port;
    if (reused) {
        return true;
    }
    closeConnection();
    if (!m_socket || m_socketScheme != url.scheme) {
        m_socket.reset();
        m_socketScheme.clear();
        m_socket = m_sockets(url.scheme);
        if (!m_socket) {
            return false;
        }
        m_socketScheme = url.scheme;
    }
    m_socket->setDeadline(m_deadline);
    if (failed(m_socket->connect(url.host, url.port))) {
        m_lastSocketError = m_socket->lastError();
        return false;
    }
    m_connectedHost = url.host;
    m_connectedPort = url.port;
    return true;
}

bool HttpClient::sendRequest(const Url& url, const RequestSettings& settings) {
    std::string text;
    try {
        text = requestText(url, settings);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t sent = 0;
    bool ok = true;
    if ((settings.flags & RequestSettings::kSendThroughCallback) != 0 && settings.sendCallback) {
        sent = settings.sendCallback(*m_socket, text, settings.body);
    } else if (!settings.body.empty() && (settings.flags & RequestSettings::kSendInBlocks) != 0) {
        ok = !failed(m_socket->send({text}, sent));
        const std::size_t block =
            settings.sendBlockSize == 0 ? settings.body.size() : settings.sendBlockSize;
        for (std::size_t at = 0; ok && at < settings.body.size(); at += block) {
            std::size_t part = 0;
            ok = !failed(m_socket->send({settings.body.substr(at, block)}, part));
            sent += part;
        }
    } else {
        ok = !failed(m_socket->send({text, settings.body}, sent));
    }
    if (!ok || sent != text.size() + settings.body.size()) {
        m_lastSocketError = m_socket->lastError();
        closeConnection();
        return false;
    }
    return true;
}

bool HttpClient::exchange(const Url& url, const RequestSettings& settings) {
    m_response.reset();
    bool reused = false;
    if (!ensureConnected(url, reused)) {
        return false;
    }
    m_socket->setDeadline(m_deadline);
    m_socket->setTimeout(settings.timeoutMs);
    bool ok = sendRequest(url, settings) &&
              readResponse(*m_socket, m_response, settings.readBlockSize, m_clock, m_deadline) ==
                  ReadResult::Done;
    if (!ok && reused && m_response.status == -1) {
        // RFC 9112 9.3.1: a kept connection the server closed before answering; the request
        // was not taken, so it goes once more on a new connection.
        closeConnection();
        if (!ensureConnected(url, reused)) {
            return false;
        }
        m_socket->setDeadline(m_deadline);
        m_socket->setTimeout(settings.timeoutMs);
        ok = sendRequest(url, settings) &&
             readResponse(*m_socket, m_response, settings.readBlockSize, m_clock, m_deadline) ==
                 ReadResult::Done;
    }
    if (!ok) {
        m_failure = m_response.failure;
        m_lastSocketError = m_socket ? m_socket->lastError() : 0;
        closeConnection();
        return false;
    }
    const auto connection = m_response.headers.get("Connection");
    if ((connection && equalsIgnoringCase(*connection, "close")) || m_response.bytesAfterBody) {
        closeConnection(); // RFC 9112 6.3: what follows a body is no answer to the next request
    }
    return true;
}

HttpClient::Judgement HttpClient::judge(const RequestSettings& settings) const {
    const std::int32_t status = m_response.status;
    if ((status >= 200 && status <= 206) || status == 304 || status == 305) {
        return Judgement::Accept;
    }
    if (status == 301 || status == 302 || status == 303) {
        if ((settings.flags & RequestSettings::kFollowRedirects) == 0) {
            return Judgement::Reject;
        }
        // A redirect without a Location stays the final answer.
        return m_response.headers.get("Location") ? Judgement::Redirect : Judgement::Accept;
    }
    if (status == 401 || status == 407) {
        return authenticate(m_response.challenges) ? Judgement::Accept : Judgement::Reject;
    }
    return Judgement::Reject;
}

bool HttpClient::navigate(const Url& url, const RequestSettings& settings) {
    m_response.reset();
    m_failure = FailureReason::None;
    m_target = url;
    const bool ok = fetchable(m_target) && follow(settings);
    if (m_failures) {
        m_failures->note(m_failure);
    }
    return ok;
}

bool HttpClient::follow(const RequestSettings& settings) {
    if (m_target.path.empty()) {
        m_target.path.push_back('/'); // empty before
    }
    if (m_target.port == 0) {
        m_target.port = m_target.scheme == "https" ? kHttpsPort : settings.port;
    }
    m_deadline = m_clock.now() + kMaxExchangeTime;
    for (int redirects = 0;; ++redirects) {
        if (!exchange(m_target, settings)) {
            return false;
        }
        if ((settings.flags & RequestSettings::kJudgeStatus) == 0) {
            return true;
        }
        switch (judge(settings)) {
        case Judgement::Accept:
            return true;
        case Judgement::Reject:
            closeConnection();
            return false;
        case Judgement::Redirect:
            break;
        }
        if (redirects == kMaxRedirects) {
            closeConnection();
            return false;
        }
        const auto next = resolveLocation(m_target, *m_response.headers.get("Location"));
        if (!next || !mayRedirect(m_target, *next)) {
            if (next && m_target.scheme == "https" && next->scheme == "http") {
                m_failure = FailureReason::InsecureRedirect;
            }
            closeConnection();
            return false;
        }
        m_target = *next;
        if (m_target.port == 0) {
            m_target.port = m_target.scheme == "https" ? kHttpsPort : settings.port;
        }
    }
}

} // namespace tarvex::http
