#include "http_front.h"

#include "query_string.h"

#include <httplib.h>
#include <sys/socket.h>

namespace tarvex::search {
namespace {

// The operation the current request thread just answered, for its log line.
thread_local std::string t_operation;

void plain(httplib::Response& response, int status, const char* text) {
    response.status = status;
    response.set_content(text, "text/plain; charset=utf-8");
}

// The rest of the body is not read, so the connection cannot carry another request.
void refuseTooLarge(httplib::Response& response) {
    response.set_header("Connection", "close");
    plain(response, 413, "The request body is larger than 1 MiB\n");
}

void sendPage(httplib::Response& response, WebPage page) {
    response.status = page.status;
    response.set_header("Content-Security-Policy", WebPages::kSecurityPolicy);
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(std::move(page.html), "text/html; charset=utf-8");
}

bool isPage(const std::string& path) {
    return path == WebPages::kSearchPath || path == WebPages::kKeysPath;
}

} // namespace

HttpFront::HttpFront(SearchService& service, const WebPages& pages, std::FILE* log,
                     std::size_t threads)
    : m_service(service), m_pages(pages), m_log(log),
      m_server(std::make_unique<httplib::Server>()) {
    m_server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    m_server->set_payload_max_length(kMaxBodyBytes);
    // A connection is closed after this many requests; fewer would make busy clients reconnect
    // over and over.
    m_server->set_keep_alive_max_count(kRequestsPerConnection);
    // Headers and body go out in separate writes; without this the body waits for the
    // client's delayed acknowledgement of the headers (about 40 ms).
    m_server->set_tcp_nodelay(true);
    // The listening socket keeps the usual options; it is noted so that its backlog can be
    // raised once it listens.
    m_server->set_socket_options([this](int socket) {
        httplib::default_socket_options(socket);
        m_listenSocket = socket;
    });
    routes();
}

HttpFront::~HttpFront() = default;

void HttpFront::routes() {
    // Decided before any body is read, so a refused request costs nothing.
    m_server->set_pre_routing_handler([](const httplib::Request& request,
                                         httplib::Response& response) {
        t_operation.clear();
        if (isPage(request.path)) {
            // HEAD is answered by the GET handlers, without the body.
            if (request.method == "GET" || request.method == "HEAD") {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_header("Allow", "GET, HEAD");
            // A body left unread would be taken for the next request.
            if (request.has_header("Content-Length") || request.has_header("Transfer-Encoding")) {
                response.set_header("Connection", "close");
            }
            plain(response, 405, "Only GET is served here\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.path != kPath) {
            plain(response, 404, "Not found\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method != "POST") {
            response.set_header("Allow", "POST");
            plain(response, 405, "Only POST is served here\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool chunked =
            request.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos;
        if (!request.has_header("Content-Length") && !chunked) {
            plain(response, 411, "Content-Length required\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        // A body announced too large is refused at once, and the connection closed, so that
        // none of it is read.
        if (!chunked && request.get_header_value<std::uint64_t>("Content-Length") > kMaxBodyBytes) {
            refuseTooLarge(response);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The body is taken piece by piece so that a chunked body, whose size is not announced,
    // is cut off at the same limit.
    m_server->Post(kPath, [this](const httplib::Request& /*request*/, httplib::Response& response,
                                 const httplib::ContentReader& content) {
        std::string body;
        bool tooLarge = false;
        content([&](const char* data, std::size_t length) {
            if (length > kMaxBodyBytes - body.size()) {
                tooLarge = true;
                return false;
            }
            body.append(data, length);
            return true;
        });
        if (tooLarge) {
            refuseTooLarge(response);
            return;
        }
        ServiceReply reply = m_service.answer(body);
        t_operation = std::move(reply.operation);
        response.status = reply.status;
        response.set_content(reply.body, "text/xml; charset=utf-8");
    });
    m_server->Get(WebPages::kSearchPath,
                  [this](const httplib::Request& request, httplib::Response& response) {
                      sendPage(response, m_pages.search(queryOf(request.target)));
                  });
    m_server->Get(WebPages::kKeysPath,
                  [this](const httplib::Request& /*request*/, httplib::Response& response) {
                      sendPage(response, m_pages.keys());
                  });
    m_server->set_logger(
        [this](const httplib::Request& request, const httplib::Response& response) {
            if (m_log == nullptr) {
                return;
            }
            // One write per line, so lines of concurrent requests do not mix.
            std::string line = request.remote_addr + " \"" + request.method + " " + request.path +
                               "\" " + std::to_string(response.status) + " " +
                               std::to_string(response.body.size()) + " " +
                               (t_operation.empty() ? "-" : t_operation) + "\n";
            std::fputs(line.c_str(), m_log);
            std::fflush(m_log);
            t_operation.clear();
        });
}

int HttpFront::bind(const std::string& host, int port) {
    const int bound = port == 0 ? m_server->bind_to_any_port(host)
                                : (m_server->bind_to_port(host, port) ? port : -1);
    // The library listens with a backlog of 5: a burst of clients connecting at once would
    // lose connections and wait a second or more for them to be retried.
    if (bound >= 0 && m_listenSocket >= 0) {
        ::listen(m_listenSocket, SOMAXCONN);
    }
    return bound;
}

bool HttpFront::run() {
    return m_server->listen_after_bind();
}

void HttpFront::stop() {
    m_server->stop();
}

} // namespace tarvex::search
