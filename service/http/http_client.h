#pragma once

#include "http/clock.h"
#include "http/failure_reason.h"
#include "http/http_response.h"
#include "http/socket.h"
#include "http/url.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarvex::http {

// What one exchange sends and how.
struct RequestSettings {
    static constexpr std::uint32_t kFollowRedirects = 1;
    static constexpr std::uint32_t kJudgeStatus = 2;
    static constexpr std::uint32_t kSendThroughCallback = 4;
    static constexpr std::uint32_t kSendInBlocks = 8;

    std::string extraHeaders; // lines ending in CR LF, sent before "Host"
    std::string method = "GET";
    std::string contentType;
    std::string_view body;
    std::uint32_t flags = kFollowRedirects | kJudgeStatus | kSendInBlocks;
    std::uint32_t timeoutMs = kDefaultTimeoutMs;
    std::uint32_t sendBlockSize = 4096;
    std::uint32_t readBlockSize = 4096;
    std::uint16_t port = kHttpPort; // for an http URL without a port; https ones use 443
    // With kSendThroughCallback: sends the request text and the body itself; returns the bytes
    // sent, which must be all of them.
    std::function<std::size_t(Socket&, std::string_view requestText, std::string_view body)>
        sendCallback;
};

// An HTTP/1.1 client for one request at a time over one connection (RFC 9110, RFC 9112).
class HttpClient {
public:
    // Redirects followed in a row at most, and the time one exchange may take in all.
    static constexpr int kMaxRedirects = 5;
    static constexpr std::chrono::seconds kMaxExchangeTime{60};

    // The exchange time is read from `clock`, which must outlive the client. How each navigate()
    // ended goes to `failures` when given.
    explicit HttpClient(SocketFactory sockets = createSocketFor, const Clock& clock = steadyClock(),
                        std::shared_ptr<FailureReasonNote> failures = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends the request to `url` (http or https) and reads the answer; afterwards status, headers
    // and body are readable. False when the exchange failed or, with kJudgeStatus, the final
    // status is not one the client accepts. Redirects never lead from https to http.
    [[nodiscard]] bool navigate(const Url& url, const RequestSettings& settings);

    [[nodiscard]] const HttpResponse& response() const { return m_response; }
    [[nodiscard]] const Url& target() const { return m_target; }
    [[nodiscard]] int lastSocketError() const { return m_lastSocketError; }
    // Why the last navigate() failed, where that has a name; None after a success.
    [[nodiscard]] FailureReason failureReason() const { return m_failure; }

    // The request text for `url` (request line and headers, up to the empty line).
    [[nodiscard]] static std::string requestText(const Url& url, const RequestSettings& settings);

private:
    enum class Judgement { Accept, Reject, Redirect };

    [[nodiscard]] bool follow(const RequestSettings& settings);
    [[nodiscard]] bool exchange(const Url& url, const RequestSettings& settings);
    // `reused` tells whether a kept connection serves.
    [[nodiscard]] bool ensureConnected(const Url& url, bool& reused);
    [[nodiscard]] bool sendRequest(const Url& url, const RequestSettings& settings);
    [[nodiscard]] Judgement judge(const RequestSettings& settings) const;
    void closeConnection();

    SocketFactory m_sockets;
    const Clock& m_clock;
    std::unique_ptr<Socket> m_socket;
    std::string m_socketScheme; // the scheme m_socket was made for
    std::string m_connectedHost;
    std::uint16_t m_connectedPort = 0;
    Socket::Deadline m_deadline = Socket::Deadline::max();
    HttpResponse m_response;
    Url m_target;
    int m_lastSocketError = 0;
    FailureReason m_failure = FailureReason::None;
    std::shared_ptr<FailureReasonNote> m_failures;
};

} // namespace tarvex::http
