#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvex::test {

// A TCP server on 127.0.0.1 that answers each request it reads with the next prepared answer,
// piece by piece with optional pauses, and records the raw requests.
class ScriptedServer {
public:
    // Block `index` of an answer made while it is sent; an empty block ends it. Answers of many
    // megabytes need not be held in memory that way.
    using Blocks = std::function<std::string(std::size_t index)>;

    struct Piece {
        std::string bytes;
        std::chrono::milliseconds pauseBefore{0};
        Blocks blocks{}; // when set, sent after `bytes`
    };
    struct Answer {
        std::vector<Piece> pieces;
        bool closeAfter = true; // close the connection once the answer is sent
    };

    // With `repeatLast`, the last answer serves every request after it (for benchmarks).
    explicit ScriptedServer(std::vector<Answer> answers, bool repeatLast = false);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] std::string url(const std::string& path = "/search/beta2") const;
    [[nodiscard]] std::vector<std::string> requests() const;
    // Connections accepted so far.
    [[nodiscard]] int connections() const { return m_connections; }

    // An answer of one piece.
    static Answer answer(std::string bytes, bool closeAfter = true) {
        return Answer{{Piece{std::move(bytes)}}, closeAfter};
    }
    // No answer: the request is read and the connection closed.
    static Answer hangUp() { return Answer{{}, true}; }
    // An answer of `head` and then the blocks.
    static Answer generated(std::string head, Blocks blocks, bool closeAfter = true) {
        return Answer{{Piece{std::move(head), std::chrono::milliseconds{0}, std::move(blocks)}},
                      closeAfter};
    }
    // "HTTP/1.1 <status>" with Content-Length and the body.
    static std::string response(int status, const std::string& body,
                                const std::string& headers = "");

private:
    void run();
    bool serve(int connection, std::size_t& next);

    std::vector<Answer> m_answers;
    bool m_repeatLast = false;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// A listening socket on 127.0.0.1 at a free port, which goes to `port`; throws when there is none.
[[nodiscard]] int listenOnLoopback(std::uint16_t& port);

// A port on 127.0.0.1 where nothing listens: a connection to it is refused. The port stays bound
// (without listening) for the object's life, so that no server of another test is given it.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    // "http://127.0.0.1:PORT" followed by `path`.
    [[nodiscard]] std::string url(const std::string& path = "/") const;

private:
    int m_descriptor = -1;
    std::uint16_t m_port = 0;
};

} // namespace tarvex::test
