#include "service/tls_server.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <climits>

namespace tarvex::search {

TlsSession::~TlsSession() {
    SSL_free(m_ssl);
}

TlsIo TlsSession::failure(int result) {
    const int error = SSL_get_error(m_ssl, result);
    ERR_clear_error();
    m_wantsWrite = error == SSL_ERROR_WANT_WRITE;
    switch (error) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return TlsIo::WouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        return TlsIo::Closed;
    default:
        return TlsIo::Failed;
    }
}

TlsIo TlsSession::read(char* buffer, std::size_t capacity, std::size_t& count) {
    count = 0;
    const int result = SSL_read_ex(m_ssl, buffer, std::min<std::size_t>(capacity, INT_MAX), &count);
    if (result == 1) {
        m_wantsWrite = false;
        return TlsIo::Done;
    }
    return failure(result);
}

TlsIo TlsSession::write(const char* data, std::size_t size, std::size_t& written) {
    written = 0;
    const int result = SSL_write_ex(m_ssl, data, size, &written);
    if (result == 1) {
        m_wantsWrite = false;
        return TlsIo::Done;
    }
    return failure(result);
}

void TlsSession::closeNotify() {
    if (SSL_is_init_finished(m_ssl) == 1) {
        (void)SSL_shutdown(m_ssl);
    }
    ERR_clear_error();
}

std::unique_ptr<TlsServerContext> TlsServerContext::load(const std::string& certificateFile,
                                                         const std::string& keyFile,
                                                         std::string& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr) {
        error = "TLS cannot be set up";
        return nullptr;
    }
    std::unique_ptr<TlsServerContext> made{new TlsServerContext(context)};
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // The output buffer of a connection moves as it grows; a repeated write may come from a new
    // address, and a part of it counts as written.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1) {
        error = "cannot read the certificate file " + certificateFile;
    } else if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error =
            "cannot use the key file " + keyFile + " (unreadable, or not the certificate's key)";
    } else if (SSL_CTX_check_private_key(context) != 1) {
        error = "the key in " + keyFile + " is not the certificate's";
    } else {
        ERR_clear_error();
        return made;
    }
    ERR_clear_error();
    return nullptr;
}

TlsServerContext::~TlsServerContext() {
    SSL_CTX_free(m_context);
}

std::unique_ptr<TlsSession> TlsServerContext::accept(int socket) const {
    SSL* ssl = SSL_new(m_context);
    if (ssl == nullptr) {
        return nullptr;
    }
    if (SSL_set_fd(ssl, socket) != 1) {
        SSL_free(ssl);
        ERR_clear_error();
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    return std::make_unique<TlsSession>(ssl);
}

} // namespace tarvex::search
