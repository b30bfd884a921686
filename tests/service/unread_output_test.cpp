// The service as a process against clients that pipeline searches and never read the answers,
// as many as it takes connections: a normal client is still answered in full, over plain HTTP
// and over TLS, and each such client is answered only a few times before its requests wait.
#include "support/service_process.h"

#include "support/tls_test_server.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;

const std::string kCorpus = TARVEX_BUNDLED_CORPUS;
// As many non-readers as the service is allowed connections.
constexpr int kConnections = 4;
constexpr std::size_t kPipelined = 200;
// A receive buffer this small makes the client's window close after a few kilobytes.
constexpr int kSmallReceiveBuffer = 1024;
// A ten-result search: about 11 KB of answer for 0.5 KB of request.
const std::string kSearchBody =
    "<?xml version=\"1.0\"?><SOAP-ENV:Envelope "
    "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
    "<ns1:doGoogleSearch xmlns:ns1=\"urn:GoogleSearch\"><key>k</key><q>the</q><start>0</start>"
    "<maxResults>10</maxResults><filter>false</filter><restrict></restrict>"
    "<safeSearch>false</safeSearch><lr></lr><ie></ie><oe></oe></ns1:doGoogleSearch>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
const std::string kSearch = "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\n"
                            "Content-Type: text/xml\r\nContent-Length: " +
                            std::to_string(kSearchBody.size()) + "\r\n\r\n" + kSearchBody;
const std::string kLastSearch = "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\n"
                                "Connection: close\r\nContent-Type: text/xml\r\n"
                                "Content-Length: " +
                                std::to_string(kSearchBody.size()) + "\r\n\r\n" + kSearchBody;
const std::string kSearchAnswerEnd = "</ns1:doGoogleSearchResponse>";
const std::string kSearchLogged = "\"POST /search/beta2\" 200 ";
const std::string kNormalRequest =
    "GET /search?q=computer HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// A client connection, plain or TLS (with `tls`), on which every wait ends after 5 s.
class Peer {
public:
    Peer(int port, SSL_CTX* tls, int receiveBuffer = 0)
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (m_fd < 0) {
            return;
        }
        // Before connect, so that the window offered in the handshake is already small.
        if (receiveBuffer > 0) {
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        const timeval wait{5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            return;
        }
        if (tls != nullptr) {
            m_ssl.reset(SSL_new(tls));
            if (!m_ssl || SSL_set_fd(m_ssl.get(), m_fd) != 1 || SSL_connect(m_ssl.get()) != 1) {
                ERR_clear_error();
                return;
            }
        }
        m_open = true;
    }
    ~Peer() {
        m_ssl.reset();
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    [[nodiscard]] bool open() const { return m_open; }

    // Sends what the service takes of `bytes` without waiting for it; the count taken.
    std::size_t offer(const std::string& bytes) {
        const int flags = ::fcntl(m_fd, F_GETFL);
        ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
        std::size_t sent = 0;
        while (m_open && sent < bytes.size()) {
            std::size_t put = 0;
            if (m_ssl) {
                if (SSL_write_ex(m_ssl.get(), bytes.data() + sent, bytes.size() - sent, &put) !=
                    1) {
                    ERR_clear_error();
                    break;
                }
            } else {
                const ssize_t taken = ::send(m_fd, bytes.data() + sent, bytes.size() - sent,
                                             MSG_NOSIGNAL | MSG_DONTWAIT);
                if (taken <= 0) {
                    break;
                }
                put = static_cast<std::size_t>(taken);
            }
            sent += put;
        }
        ::fcntl(m_fd, F_SETFL, flags);
        return sent;
    }

    // Sends `request` and reads until the service closes, fails or is silent for 5 s.
    std::string exchange(const std::string& request) {
        if (!m_open || offerBlocking(request) != request.size()) {
            return {};
        }
        return readToEnd();
    }

    // Reads until the service closes, fails or is silent for 5 s.
    std::string readToEnd() {
        std::string answer;
        char buffer[16384];
        for (;;) {
            std::size_t got = 0;
            if (m_ssl) {
                if (SSL_read_ex(m_ssl.get(), buffer, sizeof buffer, &got) != 1) {
                    ERR_clear_error();
                    break;
                }
            } else {
                const ssize_t taken = ::recv(m_fd, buffer, sizeof buffer, 0);
                if (taken <= 0) {
                    break;
                }
                got = static_cast<std::size_t>(taken);
            }
            answer.append(buffer, got);
        }
        return answer;
    }

private:
    std::size_t offerBlocking(const std::string& bytes) {
        std::size_t put = 0;
        if (m_ssl) {
            const bool whole = SSL_write_ex(m_ssl.get(), bytes.data(), bytes.size(), &put) == 1;
            ERR_clear_error();
            return whole ? put : 0;
        }
        while (put < bytes.size()) {
            const ssize_t taken =
                ::send(m_fd, bytes.data() + put, bytes.size() - put, MSG_NOSIGNAL);
            if (taken <= 0) {
                break;
            }
            put += static_cast<std::size_t>(taken);
        }
        return put;
    }

    int m_fd;
    bool m_open = false;
    std::unique_ptr<SSL, SslFree> m_ssl;
};

// A 200 answer whose body is as long as its Content-Length says.
bool isWholeAnswer(const std::string& text) {
    const auto headEnd = text.find("\r\n\r\n");
    const auto length = text.find("Content-Length: ");
    if (!text.starts_with("HTTP/1.1 200 OK\r\n") || headEnd == std::string::npos ||
        length == std::string::npos || length > headEnd) {
        return false;
    }
    return text.size() - headEnd - 4 == std::stoul(text.substr(length + 16));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::size_t searchesAnswered(const test::ServiceProcess& service) {
    return occurrences(service.errorOutput(), kSearchLogged);
}

// Waits until the service has answered more than `before` searches and then none for half a
// second, which is when every client that does not read waits on its own window; gives up
// after 30 s. The searches answered by then.
std::size_t settle(const test::ServiceProcess& service, std::size_t before) {
    std::size_t last = before;
    for (int round = 0; round < 60; ++round) {
        std::this_thread::sleep_for(500ms);
        const std::size_t now = searchesAnswered(service);
        if (now == last && now > before) {
            break;
        }
        last = now;
    }
    return searchesAnswered(service);
}

class UnreadOutputTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        // A TLS write to a connection the service has closed must fail, not end the test.
        m_oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
        std::vector<std::string> arguments{"--corpus", kCorpus, "--connections",
                                           std::to_string(kConnections)};
        if (GetParam()) {
            m_certificates = std::make_unique<test::TestCertificates>();
            arguments.insert(arguments.end(), {"--cert", m_certificates->good().certificate,
                                               "--key", m_certificates->good().key});
            m_tls.reset(SSL_CTX_new(TLS_client_method()));
            ASSERT_NE(m_tls, nullptr);
            // An attacker's write that the service stops taking counts what went before.
            SSL_CTX_set_mode(m_tls.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
        }
        m_service = std::make_unique<test::ServiceProcess>(TARVEX_SERVICE_BINARY, arguments);
        ASSERT_FALSE(m_service->endpoint().empty()) << m_service->errorOutput();
        const auto& endpoint = m_service->endpoint();
        m_port = std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
    }
    void TearDown() override { std::signal(SIGPIPE, m_oldPipeHandler); }

    // Non-readers on every connection, each with kPipelined searches sent; the count sent.
    std::size_t attack(std::vector<std::unique_ptr<Peer>>& attackers) {
        std::size_t sent = 0;
        for (int i = 0; i < kConnections; ++i) {
            attackers.push_back(std::make_unique<Peer>(m_port, m_tls.get(), kSmallReceiveBuffer));
            EXPECT_TRUE(attackers.back()->open()) << i;
            std::string pipelined;
            for (std::size_t n = 0; n < kPipelined; ++n) {
                pipelined += kSearch;
            }
            sent += attackers.back()->offer(pipelined) / kSearch.size();
        }
        return sent;
    }

    std::string askNormally() { return Peer{m_port, m_tls.get()}.exchange(kNormalRequest); }

    std::unique_ptr<test::TestCertificates> m_certificates;
    std::unique_ptr<SSL_CTX, SslContextFree> m_tls;
    std::unique_ptr<test::ServiceProcess> m_service;
    int m_port = 0;
    void (*m_oldPipeHandler)(int) = SIG_DFL;
};

// Regression: connections writing to clients that read nothing were never closed to make room,
// so a client that pipelined searches on each of them locked every other client out.
TEST_P(UnreadOutputTest, ANormalClientIsAnsweredWhileNonReadersHoldEveryConnection) {
    std::vector<std::unique_ptr<Peer>> attackers;
    // The second wave takes the places of the first, which waits on its clients as well.
    for (int wave = 0; wave < 2; ++wave) {
        const std::size_t before = searchesAnswered(*m_service);
        const std::size_t sent = attack(attackers);
        ASSERT_GE(sent, kConnections * kPipelined / 2) << "the searches could not be pipelined";
        const std::size_t answered = settle(*m_service, before) - before;
        EXPECT_LE(answered, sent / 4)
            << "answers piled up for clients that read none, wave " << wave;
        const std::string answer = askNormally();
        ASSERT_TRUE(isWholeAnswer(answer))
            << "wave " << wave << ", " << answer.size() << " bytes: " << answer.substr(0, 80);
    }
}

// Reading stops while a client leaves its answers unread, and goes on once it reads them.
TEST_P(UnreadOutputTest, AClientThatReadsLateGetsEveryAnswer) {
    constexpr std::size_t kLateSearches = 100;
    Peer late{m_port, m_tls.get(), kSmallReceiveBuffer};
    ASSERT_TRUE(late.open());
    std::string pipelined;
    for (std::size_t n = 1; n < kLateSearches; ++n) {
        pipelined += kSearch;
    }
    pipelined += kLastSearch;
    ASSERT_EQ(late.offer(pipelined), pipelined.size()) << "the searches could not be pipelined";
    EXPECT_LT(settle(*m_service, 0), kLateSearches) << "every search was answered unread";
    const std::string answers = late.readToEnd();
    EXPECT_EQ(occurrences(answers, kSearchAnswerEnd), kLateSearches);
    EXPECT_TRUE(answers.ends_with("</SOAP-ENV:Envelope>\n")) << answers.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, UnreadOutputTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& tried) {
                             return tried.param ? std::string{"Tls"} : std::string{"Plain"};
                         });

} // namespace
} // namespace tarvex::search
