#pragma once

#include "search_service.h"
#include "web_pages.h"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace tarvex::search {

// The HTTP side of the service: POST /search/beta2 carries the SOAP calls, GET /search and
// GET /apis are its two web pages; everything else is answered with its HTTP status (404, 405,
// 411, 413). One line per request goes to `log`.
class HttpFront {
public:
    static constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 20;
    static constexpr const char* kPath = "/search/beta2";
    static constexpr std::size_t kRequestsPerConnection = 1000;

    HttpFront(SearchService& service, const WebPages& pages, std::FILE* log, std::size_t threads);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds to host:port (port 0: any free port); returns the port, or -1.
    [[nodiscard]] int bind(const std::string& host, int port);
    // Serves until stop(); false when serving failed.
    [[nodiscard]] bool run();
    void stop();

private:
    void routes();

    SearchService& m_service;
    const WebPages& m_pages;
    std::FILE* m_log;
    std::unique_ptr<httplib::Server> m_server;
    int m_listenSocket = -1;
};

} // namespace tarvex::search
