#include "service/http_front.h"

#include "service/query_string.h"

namespace tarvex::search {
namespace {

HttpResponse plain(int status, const char* text) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = text;
    return response;
}

HttpResponse page(WebPage page) {
    HttpResponse response;
    response.status = page.status;
    response.contentType = "text/html; charset=utf-8";
    response.fields = {{"Content-Security-Policy", WebPages::kSecurityPolicy},
                       {"X-Content-Type-Options", "nosniff"}};
    response.body = std::move(page.html);
    return response;
}

bool isPage(const std::string& path) {
    return path == WebPages::kSearchPath || path == WebPages::kKeysPath ||
           path == WebPages::kWindowPagesPath;
}

ServerLimits limitsFor(const FrontLimits& front) {
    ServerLimits limits;
    limits.maxBodyBytes = HttpFront::kMaxBodyBytes;
    limits.workers = front.threads;
    limits.connections = front.connections;
    limits.idleExit = front.idleExit;
    return limits;
}

} // namespace

HttpFront::HttpFront(SearchService& service, const WebPages& pages, std::FILE* log,
                     FrontLimits limits, const TlsServerContext* tls)
    : m_service(service), m_pages(pages), m_server(*this, limitsFor(limits), log, tls) {}

// Decided before any body is read, so a refused request costs nothing.
std::optional<HttpResponse> HttpFront::screen(const RequestHead& head) {
    if (isPage(head.path)) {
        // HEAD is answered as GET is, without the body.
        if (head.method == "GET" || head.method == "HEAD") {
            return std::nullopt;
        }
        HttpResponse refused = plain(405, "Only GET is served here\n");
        refused.fields = {{"Allow", "GET, HEAD"}};
        // A body left unread would be taken for the next request.
        refused.close = head.field("content-length") || head.field("transfer-encoding");
        return refused;
    }
    if (head.path != kPath) {
        return plain(404, "Not found\n");
    }
    if (head.method != "POST") {
        HttpResponse refused = plain(405, "Only POST is served here\n");
        refused.fields = {{"Allow", "POST"}};
        return refused;
    }
    if (!head.contentLength && !head.chunked) {
        return plain(411, "Content-Length required\n");
    }
    // A body announced too large is refused at once, and the connection closed, so that none
    // of it is read. A chunked body is cut off at the same limit as it comes.
    if (head.contentLength.value_or(0) > kMaxBodyBytes) {
        HttpResponse refused = plain(413, "The request body is larger than 1 MiB\n");
        refused.close = true;
        return refused;
    }
    return std::nullopt;
}

HttpResponse HttpFront::answer(const HttpRequest& request) {
    if (request.head.path == WebPages::kSearchPath) {
        return page(m_pages.search(queryOf(request.head.target)));
    }
    if (request.head.path == WebPages::kKeysPath) {
        return page(m_pages.keys());
    }
    if (request.head.path == WebPages::kWindowPagesPath) {
        return page(WebPages::windowPage(queryOf(request.head.target)));
    }
    ServiceReply reply = m_service.answer(request.body);
    HttpResponse response;
    response.status = reply.status;
    response.contentType = "text/xml; charset=utf-8";
    response.body = std::move(reply.body);
    response.operation = std::move(reply.operation);
    return response;
}

} // namespace tarvex::search
