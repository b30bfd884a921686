#include "support/tls_test_server.h"

#include "support/request_framing.h"
#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace tarvex::test {
namespace {

constexpr long kDay = 24L * 60 * 60;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

void check(bool ok, const char* what) {
    if (!ok) {
        ERR_print_errors_fp(stderr);
        throw std::runtime_error(what);
    }
}

Key newKey() {
    Key key{EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256")};
    check(key != nullptr, "cannot make a key");
    return key;
}

void addExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1,
          "cannot add an extension");
    X509_EXTENSION_free(extension);
}

struct Validity {
    long fromSeconds; // relative to now
    long toSeconds;
};

// A certificate for `key`, signed by the issuer (itself when none is given).
Certificate newCertificate(EVP_PKEY* key, const char* commonName, const char* altNames,
                           Validity validity, X509* issuer, EVP_PKEY* issuerKey) {
    static long serial = 1;
    Certificate certificate{X509_new()};
    check(certificate != nullptr, "cannot make a certificate");
    X509* made = certificate.get();
    check(X509_set_version(made, 2) == 1, "version");
    check(ASN1_INTEGER_set(X509_get_serialNumber(made), serial++) == 1, "serial");
    check(X509_gmtime_adj(X509_getm_notBefore(made), validity.fromSeconds) != nullptr, "from");
    check(X509_gmtime_adj(X509_getm_notAfter(made), validity.toSeconds) != nullptr, "to");
    check(X509_set_pubkey(made, key) == 1, "public key");
    X509_NAME* name = X509_get_subject_name(made);
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                                     0) == 1,
          "name");
    check(X509_set_issuer_name(made, issuer != nullptr ? X509_get_subject_name(issuer) : name) == 1,
          "issuer");
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer != nullptr ? issuer : made, made, nullptr, nullptr, 0);
    addExtension(made, context, NID_subject_key_identifier, "hash");
    if (altNames == nullptr) {
        addExtension(made, context, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(made, context, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(made, context, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(made, context, NID_key_usage, "critical,digitalSignature");
        addExtension(made, context, NID_ext_key_usage, "serverAuth");
        addExtension(made, context, NID_subject_alt_name, altNames);
        addExtension(made, context, NID_authority_key_identifier, "keyid:always");
    }
    check(X509_sign(made, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "sign");
    return certificate;
}

void writeCertificate(const std::string& path, X509* certificate) {
    FILE* file = std::fopen(path.c_str(), "w");
    check(file != nullptr, "cannot write a certificate file");
    const bool ok = PEM_write_X509(file, certificate) == 1;
    std::fclose(file);
    check(ok, "cannot write a certificate");
}

void writeKey(const std::string& path, EVP_PKEY* key) {
    FILE* file = std::fopen(path.c_str(), "w");
    check(file != nullptr, "cannot write a key file");
    const bool ok = PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    check(ok, "cannot write a key");
}

CertificateFiles writeServer(const std::filesystem::path& folder, const char* stem,
                             const char* altNames, Validity validity, X509* issuer,
                             EVP_PKEY* issuerKey) {
    const Key key = newKey();
    const Certificate certificate =
        newCertificate(key.get(), stem, altNames, validity, issuer, issuerKey);
    CertificateFiles files{(folder / (std::string{stem} + ".pem")).string(),
                           (folder / (std::string{stem} + ".key")).string()};
    writeCertificate(files.certificate, certificate.get());
    writeKey(files.key, key.get());
    return files;
}

bool sendAll(SSL* ssl, const std::string& bytes) {
    std::size_t written = 0;
    return bytes.empty() || SSL_write_ex(ssl, bytes.data(), bytes.size(), &written) == 1;
}

} // namespace

TestCertificates::TestCertificates() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-tls-XXXXXX").string();
    check(::mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
    m_folder = pattern;
    const Validity now{-kDay, 30 * kDay};
    const char* const localNames = "IP:127.0.0.1,DNS:localhost";

    const Key authorityKey = newKey();
    const Certificate authority =
        newCertificate(authorityKey.get(), "Tarvex Test Authority", nullptr, now, nullptr, nullptr);
    m_authority = (m_folder / "authority.pem").string();
    writeCertificate(m_authority, authority.get());

    const Key strangerKey = newKey();
    const Certificate stranger =
        newCertificate(strangerKey.get(), "Unknown Authority", nullptr, now, nullptr, nullptr);

    m_good = writeServer(m_folder, "good", localNames, now, authority.get(), authorityKey.get());
    m_wrongName = writeServer(m_folder, "wrong-name", "DNS:wrong.invalid", now, authority.get(),
                              authorityKey.get());
    m_expired = writeServer(m_folder, "expired", localNames, Validity{-30 * kDay, -kDay},
                            authority.get(), authorityKey.get());
    m_untrusted =
        writeServer(m_folder, "untrusted", localNames, now, stranger.get(), strangerKey.get());
}

TestCertificates::~TestCertificates() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

TlsTestServer::TlsTestServer(Behaviour behaviour, const CertificateFiles& certificate,
                             std::vector<ScriptedServer::Answer> answers, bool repeatLast)
    : m_behaviour(behaviour), m_answers(std::move(answers)), m_repeatLast(repeatLast) {
    // OpenSSL writes to the descriptor with write(): a client that went away must not end the
    // test process.
    std::signal(SIGPIPE, SIG_IGN);
    m_context = SSL_CTX_new(TLS_server_method());
    check(m_context != nullptr, "no server context");
    check(SSL_CTX_use_certificate_chain_file(m_context, certificate.certificate.c_str()) == 1 &&
              SSL_CTX_use_PrivateKey_file(m_context, certificate.key.c_str(), SSL_FILETYPE_PEM) ==
                  1,
          "cannot load the server's certificate");
    m_listener = listenOnLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

TlsTestServer::~TlsTestServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    SSL_CTX_free(m_context);
}

std::string TlsTestServer::url(const std::string& path, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(m_port) + path;
}

std::vector<std::string> TlsTestServer::requests() const {
    const std::lock_guard lock{m_lock};
    return m_requests;
}

void TlsTestServer::run() {
    while (!m_stop && waitReadable(m_listener, m_stop)) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        // A client that stops mid-way cannot hold the server past this.
        const timeval limit{5, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        switch (m_behaviour) {
        case Behaviour::Serve:
        case Behaviour::GarbageAnswer:
            serveConnection(connection);
            break;
        case Behaviour::CloseInHandshake:
        case Behaviour::StallInHandshake:
            breakHandshake(connection);
            break;
        case Behaviour::Garbage: {
            const std::string garbage = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"
                                        "\x17\x03\x03\xFF\xFF" +
                                        std::string(512, '\x5A');
            (void)::send(connection, garbage.data(), garbage.size(), MSG_NOSIGNAL);
            (void)waitReadable(connection, m_stop); // until the client goes or the server stops
            break;
        }
        }
        ::close(connection);
        ERR_clear_error();
    }
}

// Reads the client's hello, makes the server's first flight in memory and sends half of it.
void TlsTestServer::breakHandshake(int connection) {
    SSL* ssl = SSL_new(m_context);
    BIO* input = BIO_new(BIO_s_mem());
    BIO* output = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, input, output);
    SSL_set_accept_state(ssl);
    char buffer[16384];
    while (!m_stop && waitReadable(connection, m_stop)) {
        const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) {
            break;
        }
        BIO_write(input, buffer, static_cast<int>(count));
        (void)SSL_do_handshake(ssl);
        if (BIO_pending(output) > 0) {
            break;
        }
    }
    char* flight = nullptr;
    const long length = BIO_get_mem_data(output, &flight);
    if (length > 1) {
        (void)::send(connection, flight, static_cast<std::size_t>(length / 2), MSG_NOSIGNAL);
    }
    SSL_free(ssl);
    if (m_behaviour == Behaviour::StallInHandshake) {
        // Silent until the client gives up and closes, or the test ends.
        while (!m_stop && waitReadable(connection, m_stop)) {
            if (::recv(connection, buffer, sizeof buffer, 0) <= 0) {
                break;
            }
        }
    }
}

void TlsTestServer::serveConnection(int connection) {
    SSL* ssl = SSL_new(m_context);
    SSL_set_fd(ssl, connection);
    if (SSL_accept(ssl) != 1) {
        SSL_free(ssl);
        return;
    }
    ++m_handshakes;
    const Receive receive = [&](char* buffer, std::size_t capacity) -> std::size_t {
        std::size_t count = 0;
        if ((SSL_pending(ssl) == 0 && !waitReadable(connection, m_stop)) ||
            SSL_read_ex(ssl, buffer, capacity, &count) != 1) {
            return 0;
        }
        return count;
    };
    bool open = true;
    while (open && !m_stop) {
        std::string request;
        if (!readRequest(receive, request)) {
            break;
        }
        if (!m_repeatLast) {
            const std::lock_guard lock{m_lock};
            m_requests.push_back(request);
        }
        if (m_behaviour == Behaviour::GarbageAnswer) {
            // An application data record whose bytes are no encryption under the session's keys.
            const std::string record =
                std::string{"\x17\x03\x03\x00\x40", 5} + std::string(64, '\x5A');
            (void)::send(connection, record.data(), record.size(), MSG_NOSIGNAL);
            break;
        }
        if (m_answers.empty() || (m_next >= m_answers.size() && !m_repeatLast)) {
            break;
        }
        const ScriptedServer::Answer& answer = m_answers[std::min(m_next++, m_answers.size() - 1)];
        for (const ScriptedServer::Piece& piece : answer.pieces) {
            std::this_thread::sleep_for(piece.pauseBefore);
            open = open && sendAll(ssl, piece.bytes);
            for (std::size_t index = 0; open && piece.blocks; ++index) {
                const std::string block = piece.blocks(index);
                if (block.empty()) {
                    break;
                }
                open = sendAll(ssl, block);
            }
        }
        open = open && !answer.closeAfter;
    }
    (void)SSL_shutdown(ssl);
    SSL_free(ssl);
}

} // namespace tarvex::test
