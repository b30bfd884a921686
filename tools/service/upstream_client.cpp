#include "service/upstream_client.h"

#include "http/http_client.h"
#include "http/tls_socket.h"
#include "http/url.h"
#include "service/search_backend.h"
#include "service/upstream_socket.h"

#include <cerrno>

namespace tarvex::search {
namespace {

// Room for the status line and headers on top of the body's own cap.
constexpr std::size_t kHeaderRoom = std::size_t{256} << 10;

[[noreturn]] void refuse(const std::string& what) {
    throw BackendError{"upstream: " + what};
}

std::string megabytes(std::size_t bytes) {
    return bytes % (std::size_t{1} << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                               : std::to_string(bytes) + " bytes";
}

const char* readFailure(http::ReadResult result) {
    switch (result) {
    case http::ReadResult::InvalidStatusLine:
        return "no HTTP answer";
    case http::ReadResult::HeaderBlockUnreadable:
    case http::ReadResult::HeaderReadFailed:
        return "unreadable HTTP headers";
    case http::ReadResult::BodyReadFailed:
    case http::ReadResult::ChunkedBodyFailed:
        return "the answer broke off";
    case http::ReadResult::Done:
    case http::ReadResult::NothingRead:
        break;
    }
    return "no answer";
}

} // namespace

UpstreamClient::UpstreamClient(std::shared_ptr<const http::TlsTrust> trust)
    : m_trust(std::move(trust)) {}

std::string UpstreamClient::get(const std::string& url, const FetchOptions& options) const {
    const auto target = http::parseUrl(url);
    if (!target || (target->scheme != "http" && target->scheme != "https")) {
        refuse("not an http or https address");
    }
    const auto note = std::make_shared<UpstreamNote>();
    const auto tlsFailures = std::make_shared<http::TlsFailureNote>();
    const UpstreamRules rules{options.publicOnly, options.allowLoopback,
                              options.maxBytes + kHeaderRoom,
                              std::chrono::steady_clock::now() + options.timeout};
    const auto trust = m_trust;
    http::HttpClient client{[rules, note, tlsFailures,
                             trust](std::string_view scheme) -> std::unique_ptr<http::Socket> {
        auto plain = createUpstreamSocket(http::createSocket(), rules, note);
        if (scheme == "http") {
            return plain;
        }
        if (scheme == "https" && plain != nullptr) {
            return http::createTlsSocket(std::move(plain), trust, tlsFailures);
        }
        return nullptr;
    }};
    http::RequestSettings settings;
    // The client names itself in User-Agent; a second one would make some servers refuse.
    settings.extraHeaders = std::string{"Accept: "} + options.accept + "\r\n";
    const auto timeoutMs = static_cast<std::uint32_t>(options.timeout.count());
    settings.timeoutMs = timeoutMs;
    const bool answered = client.navigate(*target, settings);
    const http::HttpResponse& response = client.response();
    if (note->addressRefused) {
        refuse("address not allowed");
    }
    if (note->unknownHost) {
        refuse("host not found");
    }
    if (note->lookupTimedOut) {
        refuse("timed out");
    }
    if (note->tooLarge || response.body.size() > options.maxBytes ||
        response.contentLength().length.value_or(0) > options.maxBytes) {
        refuse("answer larger than " + megabytes(options.maxBytes));
    }
    if (tlsFailures->last() != http::TlsFailure::None) {
        refuse(std::string{http::tlsFailureText(tlsFailures->last())});
    }
    if (response.status >= 100 && (response.status < 200 || response.status > 299)) {
        refuse("HTTP " + std::to_string(response.status));
    }
    if (!answered) {
        switch (client.lastSocketError()) {
        case ECONNREFUSED:
            refuse("connection refused");
        case ETIMEDOUT:
            refuse("timed out");
        default:
            if (std::chrono::steady_clock::now() >= rules.deadline) {
                refuse("timed out");
            }
            refuse(readFailure(response.lastResult));
        }
    }
    return response.body;
}

} // namespace tarvex::search
