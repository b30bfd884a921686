#pragma once

#include "http/last_note.h"
#include "http/socket.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct ssl_ctx_st;

namespace tarvex::http {

// Why a TLS connection could not be made, in words a user can act on.
enum class TlsFailure : std::int32_t {
    None = 0,
    Untrusted = 1,    // no trusted authority vouches for the server's certificate
    NameMismatch = 2, // the certificate names another host
    Expired = 3,      // the certificate is out of its validity period
    Handshake = 4,    // the handshake broke off, timed out or could not agree
};

// The status of a handshake, send or receive that met bytes which are no valid TLS records (the
// COM form of the secure channel's "illegal message").
inline constexpr HResult kTlsIllegalMessage = static_cast<HResult>(0x80090326U);

// A short name ("untrusted-certificate") and a sentence for the user.
[[nodiscard]] std::string_view tlsFailureName(TlsFailure failure);
[[nodiscard]] std::string_view tlsFailureText(TlsFailure failure);

// What TLS connections trust: the system's store (OpenSSL's default paths, which follow
// SSL_CERT_FILE and SSL_CERT_DIR) and the certificates of an extra file. Fixed once made, so the
// sockets of many threads may share it.
class TlsTrust {
public:
    // Null when `trustFile` is given and does not load; `error` says why.
    [[nodiscard]] static std::shared_ptr<const TlsTrust> create(const std::string& trustFile,
                                                                std::string& error);
    // The system's store alone, loaded once for the process.
    [[nodiscard]] static std::shared_ptr<const TlsTrust> system();

    ~TlsTrust();
    TlsTrust(const TlsTrust&) = delete;
    TlsTrust& operator=(const TlsTrust&) = delete;

    [[nodiscard]] ssl_ctx_st* context() const { return m_context; }

private:
    explicit TlsTrust(ssl_ctx_st* context) : m_context(context) {}

    ssl_ctx_st* m_context;
};

// Where the TLS sockets of one factory note how their last handshake went.
using TlsFailureNote = LastNote<TlsFailure>;

// TLS (1.2 at least, with SNI) over `transport`: connect() connects the transport and makes the
// handshake, verifying the certificate chain against `trust` and the certificate's names against
// the host. Connecting and the handshake together take at most `connectTimeoutMs`.
[[nodiscard]] std::unique_ptr<Socket>
createTlsSocket(std::unique_ptr<Socket> transport, std::shared_ptr<const TlsTrust> trust,
                std::shared_ptr<TlsFailureNote> failures = {},
                std::uint32_t connectTimeoutMs = Socket::kConnectTimeoutMs);

// Sockets by URL scheme: plain ones for http, TLS ones trusting `trust` for https, none for any
// other scheme. A null `trust` is the system's store, loaded at the first https connection (it
// took a third of the window's start while a plain http endpoint never needs it). Handshake
// failures go to `failures` when given.
[[nodiscard]] SocketFactory makeSocketFactory(std::shared_ptr<const TlsTrust> trust,
                                              std::shared_ptr<TlsFailureNote> failures = {});

} // namespace tarvex::http
