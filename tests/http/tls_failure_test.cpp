// Failure injection under TLS: the transport's i-th send or receive fails, for every i of a good
// exchange. Each failure ends the exchange as a failure with the transport's own error, whether
// it came in the handshake, the request or the answer, and nothing leaks.
#include "http/http_client.h"
#include "http/tls_socket.h"
#include "support/scripted_server.h"
#include "support/tls_test_server.h"

#include <gtest/gtest.h>

namespace tarvex::http {
namespace {

using test::ScriptedServer;
using test::TlsTestServer;

constexpr HResult kInjected = static_cast<HResult>(0x8007045DU); // an I/O device error
constexpr int kInjectedError = 4242;

// A plain socket whose operation number `failAt` (sends and receives counted together) fails.
class FailingTransport final : public Socket {
public:
    FailingTransport(std::unique_ptr<Socket> inner, int failAt, int& operations)
        : m_inner(std::move(inner)), m_failAt(failAt), m_operations(operations) {}

    HResult connect(const std::string& host, std::uint16_t port) override {
        return m_inner->connect(host, port);
    }
    HResult send(const std::vector<std::string_view>& pieces, std::size_t& sent) override {
        sent = 0;
        return injected() ? fail() : m_inner->send(pieces, sent);
    }
    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        count = 0;
        return injected() ? fail() : m_inner->receive(buffer, capacity, count);
    }
    void close() override { m_inner->close(); }
    [[nodiscard]] bool connected() const override { return m_inner->connected(); }
    [[nodiscard]] bool reusable() override { return m_inner->reusable(); }
    void setTimeout(std::uint32_t milliseconds) override { m_inner->setTimeout(milliseconds); }
    void setDeadline(Deadline deadline) override { m_inner->setDeadline(deadline); }
    [[nodiscard]] int lastError() const override {
        return m_failed ? kInjectedError : m_inner->lastError();
    }

private:
    bool injected() { return ++m_operations == m_failAt; }
    HResult fail() {
        m_failed = true;
        return kInjected;
    }

    std::unique_ptr<Socket> m_inner;
    int m_failAt;
    int& m_operations;
    bool m_failed = false;
};

struct Attempt {
    bool ok;
    int operations;
    int lastSocketError;
    TlsFailure failure;
};

Attempt exchange(const TlsTestServer& server, const std::shared_ptr<const TlsTrust>& trust,
                 int failAt) {
    int operations = 0;
    auto failures = std::make_shared<TlsFailureNote>();
    HttpClient client{[&](std::string_view /*scheme*/) {
        return createTlsSocket(
            std::make_unique<FailingTransport>(createSocket(), failAt, operations), trust,
            failures);
    }};
    static const std::string body(10000, 'q'); // sent in blocks: several records
    RequestSettings settings;
    settings.method = "POST";
    settings.body = body;
    const bool ok =
        client.navigate(*parseUrl(server.url()), settings) && client.response().body == "answered";
    return {ok, operations, client.lastSocketError(), failures->last()};
}

TEST(TlsFailureTest, EveryFailedTransportOperationEndsTheExchangeWithItsError) {
    const test::TestCertificates certificates;
    std::string error;
    const auto trust = TlsTrust::create(certificates.authority(), error);
    ASSERT_TRUE(trust) << error;
    TlsTestServer server{TlsTestServer::Behaviour::Serve,
                         certificates.good(),
                         {ScriptedServer::answer(ScriptedServer::response(200, "answered"))},
                         true};
    const Attempt good = exchange(server, trust, 0);
    ASSERT_TRUE(good.ok);
    ASSERT_GT(good.operations, 4) << "the handshake, the request and the answer";
    int inHandshake = 0;
    for (int failAt = 1; failAt <= good.operations; ++failAt) {
        const Attempt broken = exchange(server, trust, failAt);
        EXPECT_FALSE(broken.ok) << "operation " << failAt;
        EXPECT_EQ(broken.lastSocketError, kInjectedError) << "operation " << failAt;
        inHandshake += broken.failure == TlsFailure::Handshake ? 1 : 0;
    }
    EXPECT_GT(inHandshake, 0);
    EXPECT_LT(inHandshake, good.operations);
}

} // namespace
} // namespace tarvex::http
