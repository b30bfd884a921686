#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvex::test {

// A web search engine on 127.0.0.1 for the service to call: each request's target goes to a
// route that makes the answer. Every connection is served on its own thread, so one hanging
// answer holds up nothing else; each answer closes its connection.
class ScriptedUpstream {
public:
    struct Reply {
        int status = 200;
        std::string contentType = "application/json";
        std::string body;
        std::chrono::milliseconds delay{0}; // before the answer
        bool hang = false;                  // never answer (until the upstream is destroyed)
        std::string raw;                    // when set, sent instead of a built answer
    };
    using Route = std::function<Reply(const std::string& target)>;

    [[nodiscard]] static Reply answer(std::string body,
                                      std::string contentType = "application/json") {
        Reply reply;
        reply.body = std::move(body);
        reply.contentType = std::move(contentType);
        return reply;
    }

    explicit ScriptedUpstream(Route route);
    ~ScriptedUpstream();
    ScriptedUpstream(const ScriptedUpstream&) = delete;
    ScriptedUpstream& operator=(const ScriptedUpstream&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    // "http://127.0.0.1:PORT" followed by `path`.
    [[nodiscard]] std::string url(const std::string& path = "") const;
    // The targets of the requests read so far ("/search?q=...").
    [[nodiscard]] std::vector<std::string> targets() const;
    [[nodiscard]] std::size_t requestCount() const;

private:
    void accept();
    void serve(int connection);

    Route m_route;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::condition_variable m_stopped;
    std::vector<std::string> m_targets;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

// Pieces of engine answers for scripted upstreams.
struct ResultItem {
    std::string url;
    std::string title;
    std::string text;
};

// An RSS 2.0 answer with the OpenSearch response elements; a negative total leaves it out.
[[nodiscard]] std::string rssAnswer(const std::vector<ResultItem>& items, long total,
                                    long startIndex = 1, long itemsPerPage = -1);
// An Atom answer with the OpenSearch response elements; a negative total leaves it out.
[[nodiscard]] std::string atomAnswer(const std::vector<ResultItem>& items, long total);
// A SearXNG JSON answer.
[[nodiscard]] std::string searxngAnswer(const std::vector<ResultItem>& items, long total,
                                        const std::vector<std::string>& corrections = {},
                                        const std::vector<std::string>& suggestions = {});
// Results first + 1 ... first + count, each on a host of its own ("r7.example.com").
[[nodiscard]] std::vector<ResultItem> numberedResults(int first, int count,
                                                      const std::string& word = "gopher");
// The value of a query parameter in a request target, decoded; empty when absent.
[[nodiscard]] std::string parameter(const std::string& target, const std::string& name);

} // namespace tarvex::test
