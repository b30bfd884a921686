#pragma once

#include "support/scripted_server.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_ctx_st;

namespace tarvex::test {

struct CertificateFiles {
    std::string certificate; // PEM
    std::string key;         // PEM, unencrypted
};

// A test authority and server certificates made by it (and one by an authority nobody trusts),
// written as PEM files to a fresh temporary folder that goes with the object.
class TestCertificates {
public:
    TestCertificates();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    [[nodiscard]] const std::filesystem::path& folder() const { return m_folder; }
    // The authority's certificate: the file to trust.
    [[nodiscard]] const std::string& authority() const { return m_authority; }
    // For 127.0.0.1 and localhost, valid now.
    [[nodiscard]] const CertificateFiles& good() const { return m_good; }
    // For wrong.invalid only.
    [[nodiscard]] const CertificateFiles& wrongName() const { return m_wrongName; }
    // For 127.0.0.1 and localhost, valid until yesterday.
    [[nodiscard]] const CertificateFiles& expired() const { return m_expired; }
    // For 127.0.0.1 and localhost, signed by another authority.
    [[nodiscard]] const CertificateFiles& untrusted() const { return m_untrusted; }

private:
    std::filesystem::path m_folder;
    std::string m_authority;
    CertificateFiles m_good;
    CertificateFiles m_wrongName;
    CertificateFiles m_expired;
    CertificateFiles m_untrusted;
};

// A server on 127.0.0.1 that speaks TLS, or breaks it off in a chosen way.
class TlsTestServer {
public:
    enum class Behaviour {
        Serve,            // the handshake, then the answers as ScriptedServer gives them
        CloseInHandshake, // half of the server's first flight, then the connection is closed
        StallInHandshake, // half of the server's first flight, then silence
        Garbage,          // bytes that are no TLS record at all
        GarbageAnswer,    // the handshake, then a record that does not decrypt for every request
    };

    TlsTestServer(Behaviour behaviour, const CertificateFiles& certificate,
                  std::vector<ScriptedServer::Answer> answers = {}, bool repeatLast = false);
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    // "https://127.0.0.1:PORT" + path; `host` may name it otherwise ("localhost").
    [[nodiscard]] std::string url(const std::string& path = "/search/beta2",
                                  const std::string& host = "127.0.0.1") const;
    [[nodiscard]] std::vector<std::string> requests() const;
    // Connections whose handshake completed.
    [[nodiscard]] int handshakes() const { return m_handshakes; }

private:
    void run();
    void serveConnection(int connection);
    void breakHandshake(int connection);

    Behaviour m_behaviour;
    ssl_ctx_st* m_context = nullptr;
    std::vector<ScriptedServer::Answer> m_answers;
    bool m_repeatLast;
    std::size_t m_next = 0;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_handshakes{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace tarvex::test
