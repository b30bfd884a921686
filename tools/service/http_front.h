#pragma once

#include "service/http_server.h"
#include "service/search_service.h"
#include "service/web_pages.h"

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace tarvex::search {

// The HTTP side of the service: POST /search/beta2 carries the SOAP calls, GET /search and
// GET /apis are its two web pages; everything else is answered with its HTTP status (404, 405,
// 411, 413). One line per request goes to `log`.
class HttpFront : private HttpHandler {
public:
    static constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 20;
    static constexpr const char* kPath = "/search/beta2";

    // `threads` requests are answered at once; `connections` clients may be connected at once.
    // With `tls`, which must outlive the front, it serves HTTPS.
    HttpFront(SearchService& service, const WebPages& pages, std::FILE* log, std::size_t threads,
              std::size_t connections, const TlsServerContext* tls = nullptr);
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds to host:port (port 0: any free port); returns the port, or -1.
    [[nodiscard]] int bind(const std::string& host, int port) { return m_server.bind(host, port); }
    // Serves until stop(); false when serving failed.
    [[nodiscard]] bool run() { return m_server.run(); }
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
