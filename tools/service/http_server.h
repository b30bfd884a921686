#pragma once

#include "service/http_request.h"
#include "service/listen_socket.h"
#include "service/tls_server.h"
#include "service/worker_pool.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarvex::search {

struct HttpResponse {
    int status = 200;
    std::string contentType; // none when empty
    std::string body;
    std::vector<std::pair<std::string, std::string>> fields;
    bool close = false;    // the connection ends after this answer
    std::string operation; // for the log line
};

struct HttpRequest {
    RequestHead head;
    std::string body;
};

// What the server asks of the service behind it.
class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    // On the server's thread once the head is read, before any of the body: an answer returned
    // here ends the request. It must not wait for anything.
    [[nodiscard]] virtual std::optional<HttpResponse> screen(const RequestHead& head) = 0;
    // On a worker thread, with the whole request.
    [[nodiscard]] virtual HttpResponse answer(const HttpRequest& request) = 0;
};

struct ServerLimits {
    std::size_t maxBodyBytes = std::size_t{1} << 20;
    // Open client connections; past it the one that has made no progress longest (an idle one,
    // or one whose client does not read its answers) is closed to take a new one.
    std::size_t connections = 4096;
    std::size_t workers = 64;
    std::size_t requestsPerConnection = 1000;
    // The head and body of one request must arrive within this, however slowly they trickle.
    std::chrono::milliseconds requestTime{10'000};
    // A kept connection that starts no request within this is closed.
    std::chrono::milliseconds idleTime{5'000};
    std::chrono::milliseconds writeTime{10'000};
    // After a closing answer the rest of what the client sends is read and dropped for this
    // long, so that closing does not reset the connection before the client has the answer.
    std::chrono::milliseconds lingerTime{1'000};
    // With no connection open (so no request in flight) for this long, run() ends; 0: never.
    std::chrono::milliseconds idleExit{0};
};

// Why run() ended.
enum class ServeEnd { Stopped, Idle, Failed };

// An HTTP/1.1 server on one thread that waits on every socket at once (poll), so a client
// holds a worker only while its complete request is being answered: slow and idle clients
// cost a socket and a buffer, not a thread. Requests on a connection are answered in order,
// pipelined ones included. One line per answer goes to `log`.
class HttpServer {
public:
    // With `tls`, which must outlive the server, every connection speaks TLS.
    HttpServer(HttpHandler& handler, ServerLimits limits, std::FILE* log,
               const TlsServerContext* tls = nullptr);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Serves on `listener`, which the server closes when it goes.
    void adopt(const Listener& listener);
    // Serves until stop(), or until it has been idle for `idleExit`.
    [[nodiscard]] ServeEnd run();
    // From any thread, at any time, as often as wanted: run() closes every connection and ends.
    void stop();

private:
    using Clock = std::chrono::steady_clock;
    enum class Phase { Reading, Working, Writing, Lingering };

    struct Connection {
        Connection(int socketFd, std::string address, std::size_t maxBodyBytes,
                   Clock::time_point now)
            : socket(socketFd), peer(std::move(address)), parser(maxBodyBytes), since(now),
              lastProgress(now) {}
        int socket;
        std::string peer;
        RequestParser parser;
        std::string input;
        std::string output;
        Phase phase = Phase::Reading;
        bool requestOpen = false; // some bytes of the next request have come
        Clock::time_point since;  // start of the current request, write or linger
        // The last time bytes were read from or written to the client (or it was accepted).
        Clock::time_point lastProgress;
        bool closeAfter = false;
        std::size_t served = 0;
        std::size_t dropped = 0; // bytes read and dropped while lingering
        std::unique_ptr<TlsSession> tls;
    };

    struct Completion {
        std::uint64_t id;
        HttpResponse response;
    };

    // What poll waits for on the connection's socket; 0 while it waits for nothing.
    [[nodiscard]] static short pollEvents(const Connection& connection);
    // Reads, answers or closes the connection after poll saw `revents` on it.
    void handleEvents(std::uint64_t id, short revents);
    void acceptAll(Clock::time_point now);
    [[nodiscard]] bool makeRoom();
    [[nodiscard]] bool receive(Connection& connection);
    [[nodiscard]] bool receiveTls(Connection& connection);
    [[nodiscard]] bool flushTls(Connection& connection);
    [[nodiscard]] bool serve(std::uint64_t id, Connection& connection);
    void advance(std::uint64_t id, Connection& connection);
    void respond(Connection& connection, const HttpResponse& response);
    [[nodiscard]] bool flush(Connection& connection);
    static void noteSent(Connection& connection, std::size_t sent);
    void takeCompletions();
    [[nodiscard]] int expire(Clock::time_point now);
    [[nodiscard]] bool idleLongEnough(int& waitMs);
    void close(std::uint64_t id);
    void closeAll();
    void wake();

    HttpHandler& m_handler;
    ServerLimits m_limits;
    std::FILE* m_log;
    const TlsServerContext* m_tls;
    int m_listener = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stopping{false};
    std::uint64_t m_nextId = 1;
    std::unordered_map<std::uint64_t, Connection> m_connections;
    Clock::time_point m_acceptPausedUntil{};
    Clock::time_point m_quietSince{}; // when the last connection closed
    std::mutex m_doneMutex;
    std::vector<Completion> m_done;
    // Last, so that it is gone, its jobs finished, before anything they touch.
    std::unique_ptr<WorkerPool> m_pool;
};

} // namespace tarvex::search
