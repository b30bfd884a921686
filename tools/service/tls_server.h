#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;

namespace tarvex::search {

// How one TLS read or write on a non-blocking socket went.
enum class TlsIo { Done, WouldBlock, Closed, Failed };

// TLS on one accepted connection. The handshake runs inside the first reads and writes.
class TlsSession {
public:
    explicit TlsSession(ssl_st* ssl) : m_ssl(ssl) {}
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    [[nodiscard]] TlsIo read(char* buffer, std::size_t capacity, std::size_t& count);
    // A write cut short by WouldBlock must be repeated with the same bytes first.
    [[nodiscard]] TlsIo write(const char* data, std::size_t size, std::size_t& written);
    // close_notify, without waiting for the client's.
    void closeNotify();
    // The last read or write waits until the socket can take more.
    [[nodiscard]] bool wantsWrite() const { return m_wantsWrite; }

private:
    [[nodiscard]] TlsIo failure(int result);

    ssl_st* m_ssl;
    bool m_wantsWrite = false;
};

// The service's certificate and key, TLS 1.2 at least.
class TlsServerContext {
public:
    // Null when the files do not load or do not match; `error` says why.
    [[nodiscard]] static std::unique_ptr<TlsServerContext>
    load(const std::string& certificateFile, const std::string& keyFile, std::string& error);
    ~TlsServerContext();
    TlsServerContext(const TlsServerContext&) = delete;
    TlsServerContext& operator=(const TlsServerContext&) = delete;

    // A session on the non-blocking socket, or null when none can be made.
    [[nodiscard]] std::unique_ptr<TlsSession> accept(int socket) const;

private:
    explicit TlsServerContext(ssl_ctx_st* context) : m_context(context) {}

    ssl_ctx_st* m_context;
};

} // namespace tarvex::search
