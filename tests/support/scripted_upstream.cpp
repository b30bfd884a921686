#include "support/scripted_upstream.h"

#include "service/opensearch_reader.h"
#include "support/request_framing.h"
#include "support/scripted_server.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::test {
namespace {

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The longest request head waited for.
constexpr std::size_t kMaxHead = 65536;

void sendAll(int connection, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count =
            ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(count);
    }
}

} // namespace

ScriptedUpstream::ScriptedUpstream(Route route) : m_route(std::move(route)) {
    m_listener = listenOnLoopback(m_port);
    m_acceptor = std::thread([this] { accept(); });
}

ScriptedUpstream::~ScriptedUpstream() {
    {
        const std::lock_guard lock{m_lock};
        m_stop = true;
    }
    m_stopped.notify_all();
    m_acceptor.join();
    for (std::thread& connection : m_connections) {
        connection.join();
    }
    ::close(m_listener);
}

std::string ScriptedUpstream::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ScriptedUpstream::targets() const {
    const std::lock_guard lock{m_lock};
    return m_targets;
}

std::size_t ScriptedUpstream::requestCount() const {
    const std::lock_guard lock{m_lock};
    return m_targets.size();
}

void ScriptedUpstream::accept() {
    while (waitReadable(m_listener, m_stop)) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            const std::lock_guard lock{m_lock};
            m_connections.emplace_back([this, connection] { serve(connection); });
        }
    }
}

void ScriptedUpstream::serve(int connection) {
    // What came is answered even when it is no whole request.
    std::string request;
    (void)readRequest(socketReceive(connection, m_stop), request, kMaxHead);
    const auto space = request.find(' ');
    const auto end = request.find(' ', space + 1);
    const std::string target = space == std::string::npos || end == std::string::npos
                                   ? std::string{}
                                   : request.substr(space + 1, end - space - 1);
    {
        const std::lock_guard lock{m_lock};
        m_targets.push_back(target);
    }
    const Reply reply = m_route(target);
    {
        std::unique_lock lock{m_lock};
        if (reply.hang) {
            m_stopped.wait(lock, [this] { return m_stop.load(); });
        } else if (reply.delay.count() > 0) {
            m_stopped.wait_for(lock, reply.delay, [this] { return m_stop.load(); });
        }
    }
    if (!m_stop) {
        sendAll(connection, !reply.raw.empty()
                                ? reply.raw
                                : ScriptedServer::response(reply.status, reply.body,
                                                           "Content-Type: " + reply.contentType +
                                                               "\r\nConnection: close\r\n"));
    }
    ::close(connection);
}

std::string rssAnswer(const std::vector<ResultItem>& items, long total, long startIndex,
                      long itemsPerPage) {
    std::string xml = std::string{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<rss version=\"2.0\" xmlns:opensearch=\""} +
                      search::openSearchNamespace() + "\"><channel><title>results</title>";
    if (total >= 0) {
        xml += "<opensearch:totalResults>" + std::to_string(total) + "</opensearch:totalResults>";
    }
    xml += "<opensearch:startIndex>" + std::to_string(startIndex) + "</opensearch:startIndex>";
    xml += "<opensearch:itemsPerPage>" +
           std::to_string(itemsPerPage < 0 ? static_cast<long>(items.size()) : itemsPerPage) +
           "</opensearch:itemsPerPage>";
    for (const ResultItem& item : items) {
        xml += "<item><title>" + xmlEscaped(item.title) + "</title><link>" + xmlEscaped(item.url) +
               "</link><description>" + xmlEscaped(item.text) + "</description></item>";
    }
    return xml + "</channel></rss>";
}

std::string atomAnswer(const std::vector<ResultItem>& items, long total) {
    std::string xml = std::string{"<?xml version=\"1.0\"?>\n"
                                  "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:os=\""} +
                      search::openSearchNamespace() + "\"><title>results</title>";
    if (total >= 0) {
        xml += "<os:totalResults>" + std::to_string(total) + "</os:totalResults>";
    }
    for (const ResultItem& item : items) {
        xml += "<entry><title>" + xmlEscaped(item.title) +
               "</title><link rel=\"alternate\" href=\"" + xmlEscaped(item.url) + "\"/><summary>" +
               xmlEscaped(item.text) + "</summary></entry>";
    }
    return xml + "</feed>";
}

std::string searxngAnswer(const std::vector<ResultItem>& items, long total,
                          const std::vector<std::string>& corrections,
                          const std::vector<std::string>& suggestions) {
    nlohmann::json answer;
    answer["query"] = "q";
    answer["number_of_results"] = total;
    answer["results"] = nlohmann::json::array();
    for (const ResultItem& item : items) {
        answer["results"].push_back(
            {{"url", item.url}, {"title", item.title}, {"content", item.text}, {"engine", "x"}});
    }
    answer["corrections"] = corrections;
    answer["suggestions"] = suggestions;
    answer["answers"] = nlohmann::json::array();
    return answer.dump();
}

std::vector<ResultItem> numberedResults(int first, int count, const std::string& word) {
    std::vector<ResultItem> items;
    for (int i = first + 1; i <= first + count; ++i) {
        const std::string n = std::to_string(i);
        items.push_back({"http://r" + n + ".example.com/page", "Result " + n + " about " + word,
                         "The " + word + " text of result " + n});
    }
    return items;
}

std::string parameter(const std::string& target, const std::string& name) {
    const auto query = target.find('?');
    if (query == std::string::npos) {
        return {};
    }
    std::size_t at = query + 1;
    while (at <= target.size()) {
        const auto end = std::min(target.find('&', at), target.size());
        const std::string pair = target.substr(at, end - at);
        const auto equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
            std::string decoded;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '%' && i + 2 < value.size() &&
                    std::isxdigit(static_cast<unsigned char>(value[i + 1])) != 0 &&
                    std::isxdigit(static_cast<unsigned char>(value[i + 2])) != 0) {
                    decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    decoded += value[i] == '+' ? ' ' : value[i];
                }
            }
            return decoded;
        }
        at = end + 1;
    }
    return {};
}

} // namespace tarvex::test
