// The client over TLS against a local TLS server with certificates made for the test: what
// connects, what is refused and how each refusal is told apart, all within bounded time.
#include "http/http_client.h"
#include "http/tls_socket.h"
#include "support/scripted_server.h"
#include "support/tls_test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace tarvex::http {
namespace {

using test::ScriptedServer;
using test::TlsTestServer;
using Behaviour = TlsTestServer::Behaviour;

const test::TestCertificates& certificates() {
    static const test::TestCertificates made;
    return made;
}

std::shared_ptr<const TlsTrust> testTrust() {
    std::string error;
    auto trust = TlsTrust::create(certificates().authority(), error);
    EXPECT_TRUE(trust) << error;
    return trust;
}

RequestSettings post() {
    RequestSettings settings;
    settings.method = "POST";
    settings.contentType = "text/xml";
    settings.body = "<x/>";
    return settings;
}

struct Outcome {
    bool ok = false;
    TlsFailure failure = TlsFailure::None;
    std::chrono::milliseconds took{0};
    std::string body;
};

// One POST to `url` with sockets trusting the test authority (or `trust`).
Outcome fetch(const std::string& url, std::shared_ptr<const TlsTrust> trust = testTrust(),
              std::uint32_t connectTimeoutMs = Socket::kConnectTimeoutMs) {
    auto failures = std::make_shared<TlsFailureNote>();
    HttpClient client{[&](std::string_view scheme) -> std::unique_ptr<Socket> {
        if (scheme == "https") {
            return createTlsSocket(createSocket(), trust, failures, connectTimeoutMs);
        }
        return makeSocketFactory(trust, failures)(scheme);
    }};
    const auto start = std::chrono::steady_clock::now();
    Outcome outcome;
    outcome.ok = client.navigate(*parseUrl(url), post());
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    outcome.failure = failures->last();
    outcome.body = client.response().body;
    return outcome;
}

ScriptedServer::Answer okAnswer(bool closeAfter = true) {
    return ScriptedServer::answer(ScriptedServer::response(200, "secret"), closeAfter);
}

// Connecting

TEST(TlsClientTest, AnHttpsEndpointIsFetchedOverTls) {
    TlsTestServer server{Behaviour::Serve, certificates().good(), {okAnswer()}};
    const Outcome outcome = fetch(server.url());
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.body, "secret");
    EXPECT_EQ(outcome.failure, TlsFailure::None);
    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0].rfind("POST /search/beta2 HTTP/1.1\r\n", 0), 0U);
}

TEST(TlsClientTest, AHostNameIsVerifiedAgainstTheCertificatesDnsNames) {
    TlsTestServer server{Behaviour::Serve, certificates().good(), {okAnswer()}};
    EXPECT_TRUE(fetch(server.url("/search/beta2", "localhost")).ok);
}

TEST(TlsClientTest, AKeptConnectionCarriesTheNextRequestWithoutANewHandshake) {
    TlsTestServer server{Behaviour::Serve, certificates().good(), {okAnswer(false)}, true};
    HttpClient client{makeSocketFactory(testTrust())};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post())) << i;
        EXPECT_EQ(client.response().body, "secret");
    }
    EXPECT_EQ(server.handshakes(), 1);
}

TEST(TlsClientTest, AServerThatClosesEachConnectionGetsANewHandshakePerRequest) {
    TlsTestServer server{Behaviour::Serve, certificates().good(), {okAnswer(true)}, true};
    HttpClient client{makeSocketFactory(testTrust())};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post())) << i;
    }
    EXPECT_EQ(server.handshakes(), 2);
}

TEST(TlsClientTest, TheTrustFileIsAlsoReadFromSslCertFile) {
    TlsTestServer server{Behaviour::Serve, certificates().good(), {okAnswer()}, true};
    ::setenv("SSL_CERT_FILE", certificates().authority().c_str(), 1);
    std::string error;
    const auto fromEnvironment = TlsTrust::create({}, error);
    ::unsetenv("SSL_CERT_FILE");
    ASSERT_TRUE(fromEnvironment) << error;
    EXPECT_TRUE(fetch(server.url(), fromEnvironment).ok);
    const auto withoutIt = TlsTrust::create({}, error);
    EXPECT_EQ(fetch(server.url(), withoutIt).failure, TlsFailure::Untrusted);
}

TEST(TlsClientTest, ATrustFileWithoutCertificatesIsRefused) {
    std::string error;
    EXPECT_FALSE(TlsTrust::create(certificates().good().key, error));
    EXPECT_NE(error.find("trust file"), std::string::npos) << error;
    EXPECT_FALSE(TlsTrust::create((certificates().folder() / "absent.pem").string(), error));
}

// Redirects

TEST(TlsClientTest, ARedirectMayLeadFromHttpToHttps) {
    TlsTestServer secure{Behaviour::Serve, certificates().good(), {okAnswer()}};
    ScriptedServer plain{{ScriptedServer::answer(
        ScriptedServer::response(302, "", "Location: " + secure.url("/moved") + "\r\n"))}};
    const Outcome outcome = fetch(plain.url());
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.body, "secret");
    ASSERT_EQ(secure.requests().size(), 1U);
    EXPECT_EQ(secure.requests()[0].rfind("POST /moved HTTP/1.1\r\n", 0), 0U);
}

TEST(TlsClientTest, ARedirectFromHttpsToHttpIsRefused) {
    ScriptedServer plain{{okAnswer()}};
    TlsTestServer secure{Behaviour::Serve,
                         certificates().good(),
                         {ScriptedServer::answer(ScriptedServer::response(
                             301, "", "Location: " + plain.url("/down") + "\r\n"))}};
    const Outcome outcome = fetch(secure.url());
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(plain.requests().empty()) << "nothing went out in the clear";
}

TEST(TlsClientTest, AnHttpsUrlWithoutAPortGoesTo443) {
    const auto url = parseUrl("https://example.invalid/x");
    ASSERT_TRUE(url);
    EXPECT_EQ(defaultPort(url->scheme), 443);
    EXPECT_EQ(toText(Url{"https", "", "", "h", 443, "/p", ""}), "https://h/p");
    EXPECT_EQ(toText(Url{"https", "", "", "h", 80, "/p", ""}), "https://h:80/p");
}

// Refusals: each ends as a transport failure that says why, in bounded time.

struct Refusal {
    const char* name;
    Behaviour behaviour;
    const test::CertificateFiles& (test::TestCertificates::*certificate)() const;
    const char* host;
    TlsFailure failure;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class TlsRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(TlsRefusalTest, EndsAsATransportFailureThatSaysWhy) {
    const Refusal& refusal = GetParam();
    TlsTestServer server{refusal.behaviour, (certificates().*refusal.certificate)(), {okAnswer()}};
    const Outcome outcome = fetch(server.url("/search/beta2", refusal.host), testTrust(), 1500);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failure, refusal.failure) << tlsFailureName(outcome.failure);
    EXPECT_TRUE(server.requests().empty()) << "no request went out";
    EXPECT_LT(outcome.took, std::chrono::milliseconds{5000});
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsRefusalTest,
    ::testing::Values(Refusal{"Untrusted", Behaviour::Serve, &test::TestCertificates::untrusted,
                              "127.0.0.1", TlsFailure::Untrusted},
                      Refusal{"WrongAddress", Behaviour::Serve, &test::TestCertificates::wrongName,
                              "127.0.0.1", TlsFailure::NameMismatch},
                      Refusal{"WrongName", Behaviour::Serve, &test::TestCertificates::wrongName,
                              "localhost", TlsFailure::NameMismatch},
                      Refusal{"Expired", Behaviour::Serve, &test::TestCertificates::expired,
                              "127.0.0.1", TlsFailure::Expired},
                      Refusal{"ClosedInHandshake", Behaviour::CloseInHandshake,
                              &test::TestCertificates::good, "127.0.0.1", TlsFailure::Handshake},
                      Refusal{"StalledInHandshake", Behaviour::StallInHandshake,
                              &test::TestCertificates::good, "127.0.0.1", TlsFailure::Handshake},
                      Refusal{"Garbage", Behaviour::Garbage, &test::TestCertificates::good,
                              "127.0.0.1", TlsFailure::Handshake}),
    [](const ::testing::TestParamInfo<Refusal>& row) { return std::string{row.param.name}; });

// The connect timeout bounds the handshake: a server silent in the middle of it is left after
// the timeout, not after the 60 s of the whole exchange.
TEST(TlsClientTest, AStalledHandshakeEndsAtTheConnectTimeout) {
    TlsTestServer server{Behaviour::StallInHandshake, certificates().good()};
    const Outcome outcome = fetch(server.url(), testTrust(), 400);
    EXPECT_FALSE(outcome.ok);
    EXPECT_GE(outcome.took, std::chrono::milliseconds{350});
    EXPECT_LT(outcome.took, std::chrono::milliseconds{3000});
}

TEST(TlsClientTest, EveryFailureHasANameAndAText) {
    for (const TlsFailure failure : {TlsFailure::Untrusted, TlsFailure::NameMismatch,
                                     TlsFailure::Expired, TlsFailure::Handshake}) {
        EXPECT_FALSE(tlsFailureText(failure).empty());
        EXPECT_NE(tlsFailureName(failure), "none");
    }
}

} // namespace
} // namespace tarvex::http
