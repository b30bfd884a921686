// TLS sockets on OpenSSL. The bytes travel through another socket (the platform's plain one), so
// its waits, timeouts and deadline hold for the TLS records as well.
#include "http/tls_socket.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>

namespace tarvex::http {
namespace {

constexpr HResult kNotConnected = static_cast<HResult>(0x80072749U);
// The COM forms of the secure channel's failures.
constexpr HResult kUntrustedRoot = static_cast<HResult>(0x80090325U);
constexpr HResult kWrongPrincipal = static_cast<HResult>(0x80090322U);
constexpr HResult kCertificateExpired = static_cast<HResult>(0x80090328U);

// TLS records carry at most 16 KiB; pieces up to that size go out as one record.
constexpr std::size_t kRecordBytes = 16384;

TlsFailure classify(long verifyResult) {
    switch (verifyResult) {
    case X509_V_OK:
        return TlsFailure::Handshake;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return TlsFailure::NameMismatch;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return TlsFailure::Expired;
    default:
        return TlsFailure::Untrusted;
    }
}

HResult statusOf(TlsFailure failure) {
    switch (failure) {
    case TlsFailure::Untrusted:
        return kUntrustedRoot;
    case TlsFailure::NameMismatch:
        return kWrongPrincipal;
    case TlsFailure::Expired:
        return kCertificateExpired;
    case TlsFailure::None:
    case TlsFailure::Handshake:
        break;
    }
    return kTlsIllegalMessage;
}

class TlsSocket final : public Socket {
public:
    TlsSocket(std::unique_ptr<Socket> transport, std::shared_ptr<const TlsTrust> trust,
              std::shared_ptr<TlsFailureNote> failures, std::uint32_t connectTimeoutMs)
        : m_transport(std::move(transport)), m_trust(std::move(trust)),
          m_failures(std::move(failures)), m_connectTimeoutMs(connectTimeoutMs) {}
    ~TlsSocket() override { close(); }
    TlsSocket(const TlsSocket&) = delete;
    TlsSocket& operator=(const TlsSocket&) = delete;

    HResult connect(const std::string& host, std::uint16_t port) override;
    HResult send(const std::vector<std::string_view>& pieces, std::size_t& sent) override;
    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override;
    void close() override;
    [[nodiscard]] bool connected() const override { return m_connected; }
    [[nodiscard]] bool reusable() override {
        const std::lock_guard lock{m_lock};
        return m_connected && SSL_pending(m_ssl) == 0 && m_transport->reusable();
    }
    void setTimeout(std::uint32_t milliseconds) override {
        m_timeoutMs = milliseconds;
        m_transport->setTimeout(milliseconds);
    }
    void setDeadline(Deadline deadline) override {
        m_deadline = deadline;
        m_transport->setDeadline(deadline);
    }
    [[nodiscard]] int lastError() const override { return m_lastError; }

    // The BIO's ends: -1 on a failed transport operation, whose status is kept.
    int writeTransport(const char* data, int length);
    int readTransport(char* data, int length);

private:
    HResult handshake(const std::string& host);
    // The status of a failed TLS read or write: the transport's when it failed underneath.
    HResult failedIo();
    HResult fail(HResult status, int error) {
        m_lastError = error;
        return status;
    }

    std::unique_ptr<Socket> m_transport;
    std::shared_ptr<const TlsTrust> m_trust;
    std::shared_ptr<TlsFailureNote> m_failures;
    std::uint32_t m_connectTimeoutMs;
    SSL* m_ssl = nullptr;
    bool m_connected = false;
    std::uint32_t m_timeoutMs = kDefaultTimeoutMs;
    Deadline m_deadline = Deadline::max();
    HResult m_transportStatus = kOk;
    int m_lastError = 0;
    std::mutex m_lock;
};

TlsSocket* owner(BIO* bio) {
    return static_cast<TlsSocket*>(BIO_get_data(bio));
}

int bioWrite(BIO* bio, const char* data, int length) {
    return owner(bio)->writeTransport(data, length);
}

int bioRead(BIO* bio, char* data, int length) {
    return owner(bio)->readTransport(data, length);
}

long bioControl(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

// The BIO that hands TLS records to the transport socket; made once, kept for the process.
BIO_METHOD* transportMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarvex transport");
        if (made != nullptr) {
            BIO_meth_set_write(made, bioWrite);
            BIO_meth_set_read(made, bioRead);
            BIO_meth_set_ctrl(made, bioControl);
            BIO_meth_set_create(made, bioCreate);
        }
        return made;
    }();
    return method;
}

int TlsSocket::writeTransport(const char* data, int length) {
    std::size_t sent = 0;
    m_transportStatus =
        m_transport->send({std::string_view{data, static_cast<std::size_t>(length)}}, sent);
    return failed(m_transportStatus) ? -1 : static_cast<int>(sent);
}

int TlsSocket::readTransport(char* data, int length) {
    std::size_t count = 0;
    m_transportStatus = m_transport->receive(data, static_cast<std::size_t>(length), count);
    return failed(m_transportStatus) ? -1 : static_cast<int>(count);
}

HResult TlsSocket::connect(const std::string& host, std::uint16_t port) {
    close();
    const std::lock_guard lock{m_lock};
    if (m_failures) {
        m_failures->note(TlsFailure::None); // a connection that fails before TLS is no TLS failure
    }
    // The handshake counts against the connect timeout.
    const Deadline connectBy =
        std::min(m_deadline,
                 std::chrono::steady_clock::now() + std::chrono::milliseconds(m_connectTimeoutMs));
    m_transport->setDeadline(connectBy);
    m_transport->setTimeout(m_connectTimeoutMs);
    HResult status = m_transport->connect(host, port);
    if (failed(status)) {
        m_lastError = m_transport->lastError();
    } else {
        status = handshake(host);
    }
    m_transport->setDeadline(m_deadline);
    m_transport->setTimeout(m_timeoutMs);
    if (failed(status)) {
        if (m_ssl != nullptr) {
            SSL_free(m_ssl);
            m_ssl = nullptr;
        }
        m_transport->close();
        return status;
    }
    m_connected = true;
    return kOk;
}

HResult TlsSocket::handshake(const std::string& host) {
    m_ssl = SSL_new(m_trust->context());
    BIO* bio = transportMethod() != nullptr ? BIO_new(transportMethod()) : nullptr;
    if (m_ssl == nullptr || bio == nullptr) {
        BIO_free(bio);
        return fail(kOutOfMemory, 0);
    }
    BIO_set_data(bio, this);
    SSL_set_bio(m_ssl, bio, bio);
    // A literal address is matched against the certificate's IP names and sent without SNI
    // (RFC 6066 3); a host name is sent as SNI and matched against its DNS names.
    X509_VERIFY_PARAM* parameters = SSL_get0_param(m_ssl);
    if (X509_VERIFY_PARAM_set1_ip_asc(parameters, host.c_str()) != 1) {
        if (SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1 ||
            SSL_set1_host(m_ssl, host.c_str()) != 1) {
            ERR_clear_error();
            return fail(kOutOfMemory, 0);
        }
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    }
    ERR_clear_error();
    m_transportStatus = kOk;
    if (SSL_connect(m_ssl) == 1) {
        if (m_failures) {
            m_failures->note(TlsFailure::None);
        }
        return kOk;
    }
    const long verifyResult = SSL_get_verify_result(m_ssl);
    const TlsFailure failure = classify(verifyResult);
    ERR_clear_error();
    if (m_failures) {
        m_failures->note(failure);
    }
    if (failure == TlsFailure::Handshake && failed(m_transportStatus)) {
        // Cut off or timed out underneath: the transport's own status says which.
        return fail(m_transportStatus, m_transport->lastError());
    }
    return fail(statusOf(failure), static_cast<int>(verifyResult));
}

HResult TlsSocket::failedIo() {
    ERR_clear_error();
    if (failed(m_transportStatus)) {
        return fail(m_transportStatus, m_transport->lastError());
    }
    return fail(kTlsIllegalMessage, 0);
}

HResult TlsSocket::send(const std::vector<std::string_view>& pieces, std::size_t& sent) {
    const std::lock_guard lock{m_lock};
    sent = 0;
    if (!m_connected) {
        return fail(kNotConnected, 0);
    }
    // Small pieces are joined so that a request does not go out as many tiny records.
    std::string joined;
    std::vector<std::string_view> parts;
    try {
        std::size_t total = 0;
        for (const std::string_view piece : pieces) {
            total += piece.size();
        }
        if (total <= kRecordBytes && pieces.size() > 1) {
            joined.reserve(total);
            for (const std::string_view piece : pieces) {
                joined.append(piece);
            }
            parts.push_back(joined);
        } else {
            parts = pieces;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (std::string_view part : parts) {
        while (!part.empty()) {
            std::size_t written = 0;
            m_transportStatus = kOk;
            if (SSL_write_ex(m_ssl, part.data(), std::min<std::size_t>(part.size(), INT_MAX),
                             &written) != 1) {
                return failedIo();
            }
            sent += written;
            part.remove_prefix(written);
        }
    }
    return kOk;
}

HResult TlsSocket::receive(char* buffer, std::size_t capacity, std::size_t& count) {
    const std::lock_guard lock{m_lock};
    count = 0;
    if (!m_connected) {
        return fail(kNotConnected, 0);
    }
    if (capacity == 0) {
        return kOk;
    }
    m_transportStatus = kOk;
    std::size_t received = 0;
    if (SSL_read_ex(m_ssl, buffer, std::min<std::size_t>(capacity, INT_MAX), &received) == 1) {
        count = received;
        return kOk;
    }
    if (SSL_get_error(m_ssl, 0) == SSL_ERROR_ZERO_RETURN) {
        ERR_clear_error();
        return kOk; // the peer closed
    }
    return failedIo();
}

void TlsSocket::close() {
    const std::lock_guard lock{m_lock};
    if (m_ssl != nullptr) {
        if (m_connected) {
            // close_notify, so the peer can tell the end from a cut; no answer is awaited.
            (void)SSL_shutdown(m_ssl);
            ERR_clear_error();
        }
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    m_connected = false;
    m_transport->close();
}

} // namespace

std::string_view tlsFailureName(TlsFailure failure) {
    switch (failure) {
    case TlsFailure::None:
        return "none";
    case TlsFailure::Untrusted:
        return "untrusted-certificate";
    case TlsFailure::NameMismatch:
        return "name-mismatch";
    case TlsFailure::Expired:
        return "expired-certificate";
    case TlsFailure::Handshake:
        return "handshake-failed";
    }
    return "handshake-failed";
}

std::string_view tlsFailureText(TlsFailure failure) {
    switch (failure) {
    case TlsFailure::None:
        return "";
    case TlsFailure::Untrusted:
        return "the server's certificate is not trusted (no trusted authority signed it; a "
               "private service's authority can be added as a trust file)";
    case TlsFailure::NameMismatch:
        return "the server's certificate is made out to another host name";
    case TlsFailure::Expired:
        return "the server's certificate has expired or is not yet valid";
    case TlsFailure::Handshake:
        return "the TLS handshake with the server failed";
    }
    return "the TLS handshake with the server failed";
}

std::shared_ptr<const TlsTrust> TlsTrust::create(const std::string& trustFile, std::string& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        error = "TLS cannot be set up (out of memory)";
        return nullptr;
    }
    std::shared_ptr<const TlsTrust> trust{new (std::nothrow) TlsTrust(context)};
    if (!trust) {
        SSL_CTX_free(context);
        error = "TLS cannot be set up (out of memory)";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // A close without close_notify ends a body that runs to the end of the connection, as over
    // plain HTTP; bodies of known length and chunked ones still fail when cut short.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_mode(context, SSL_MODE_AUTO_RETRY);
    (void)SSL_CTX_set_default_verify_paths(context);
    if (!trustFile.empty() &&
        SSL_CTX_load_verify_locations(context, trustFile.c_str(), nullptr) != 1) {
        error = "cannot read certificates from the trust file " + trustFile;
        ERR_clear_error();
        return nullptr;
    }
    ERR_clear_error();
    return trust;
}

std::shared_ptr<const TlsTrust> TlsTrust::system() {
    // Loading the system's store takes milliseconds; it is done once, and never changes after.
    static const std::shared_ptr<const TlsTrust> trust = [] {
        std::string error;
        return create({}, error);
    }();
    return trust;
}

TlsTrust::~TlsTrust() {
    SSL_CTX_free(m_context);
}

std::unique_ptr<Socket> createTlsSocket(std::unique_ptr<Socket> transport,
                                        std::shared_ptr<const TlsTrust> trust,
                                        std::shared_ptr<TlsFailureNote> failures,
                                        std::uint32_t connectTimeoutMs) {
    if (!transport || !trust) {
        return nullptr;
    }
    return std::unique_ptr<Socket>(new (std::nothrow) TlsSocket(
        std::move(transport), std::move(trust), std::move(failures), connectTimeoutMs));
}

SocketFactory makeSocketFactory(std::shared_ptr<const TlsTrust> trust,
                                std::shared_ptr<TlsFailureNote> failures) {
    return [trust = std::move(trust),
            failures = std::move(failures)](std::string_view scheme) -> std::unique_ptr<Socket> {
        if (scheme == "http") {
            return createSocket();
        }
        if (scheme == "https") {
            return createTlsSocket(createSocket(), trust ? trust : TlsTrust::system(), failures);
        }
        return nullptr;
    };
}

std::unique_ptr<Socket> createSocketFor(std::string_view scheme) {
    return makeSocketFactory(nullptr)(scheme);
}

} // namespace tarvex::http
