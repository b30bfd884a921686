#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace tarvex::http {
class TlsTrust;
}

namespace tarvex::search {

struct FetchOptions {
    std::size_t maxBytes = 0;                 // a larger answer is refused
    std::chrono::milliseconds timeout{10000}; // the whole exchange, redirects included
    bool publicOnly = false;                  // see UpstreamRules
    bool allowLoopback = false;
    const char* accept = "*/*";
};

// Fetches from upstream engines and the pages they name, with the project's own HTTP client:
// plain or TLS (verified against the system's store and an extra trust file), redirects
// followed within the same rules. Safe to use from many threads at once.
class UpstreamClient {
public:
    explicit UpstreamClient(std::shared_ptr<const http::TlsTrust> trust);

    // The body of a 2xx answer to GET `url`. Throws BackendError saying what went wrong
    // ("upstream: HTTP 429", "upstream: timed out", ...).
    [[nodiscard]] std::string get(const std::string& url, const FetchOptions& options) const;

private:
    std::shared_ptr<const http::TlsTrust> m_trust;
};

} // namespace tarvex::search
