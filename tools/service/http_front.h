#pragma once

#include "service/http_server.h"
#include "service/search_service.h"
#include "service/web_pages.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace tarvex::search {

struct FrontLimits {
    std::size_t threads = 64;       // requests answered at once
    std::size_t connections = 4096; // clients connected at once
    // With no client connected for this long the front stops by itself; 0: never.
    std::chrono::seconds idleExit{0};
};

// The HTTP side of the service: POST /search/beta2 carries the SOAP calls, GET /search and
// GET /apis are its two web pages; everything else is answered with its HTTP status (404, 405,
// 411, 413). One line per request goes to `log`.
class HttpFront : private HttpHandler {
public:
    static constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 20;
    static constexpr const char* kPath = "/search/beta2";

    // With `tls`, which must outlive the front, it serves HTTPS.
    HttpFront(SearchService& service, const WebPages& pages, std::FILE* log, FrontLimits limits,
              const TlsServerContext* tls = nullptr);
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Serves on `listener`, which the front closes when it goes.
    void adopt(const Listener& listener) { m_server.adopt(listener); }
    // Serves until stop(), or until idle for FrontLimits::idleExit.
    [[nodiscard]] ServeEnd run() { return m_server.run(); }
    // From any thread, also before run(): every client connection is closed at once.
    void stop() { m_server.stop(); }

private:
    [[nodiscard]] std::optional<HttpResponse> screen(const RequestHead& head) override;
    [[nodiscard]] HttpResponse answer(const HttpRequest& request) override;

    SearchService& m_service;
    const WebPages& m_pages;
    HttpServer m_server;
};

} // namespace tarvex::search
