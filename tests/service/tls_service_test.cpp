// The service over HTTPS as a real process (--cert, --key): the tool's 30-result search with the
// test authority trusted, the same search refused without it, and a client that stalls in the
// handshake does not hold up the others.
#include "support/service_process.h"

#include "support/tls_test_server.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace tarvex::search {
namespace {

const std::string kCorpus = TARVEX_BUNDLED_CORPUS;

class TlsServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_certificates = new test::TestCertificates;
        s_service =
            new test::ServiceProcess(TARVEX_SERVICE_BINARY, {"--corpus", kCorpus, "--cert",
                                                             s_certificates->good().certificate,
                                                             "--key", s_certificates->good().key});
    }
    static void TearDownTestSuite() {
        delete s_service;
        delete s_certificates;
    }

    static std::string settingsFile(const std::string& name) {
        const std::string path = ::testing::TempDir() + name;
        std::remove(path.c_str());
        return path;
    }

    static test::TestCertificates* s_certificates;
    static test::ServiceProcess* s_service;
};

test::TestCertificates* TlsServiceTest::s_certificates = nullptr;
test::ServiceProcess* TlsServiceTest::s_service = nullptr;

TEST_F(TlsServiceTest, TheFirstLineNamesAnHttpsEndpoint) {
    EXPECT_EQ(s_service->endpoint().rfind("https://127.0.0.1:", 0), 0U) << s_service->errorOutput();
}

TEST_F(TlsServiceTest, AThirtyResultSearchOverHttps) {
    const std::string settings = settingsFile("tarvex_tls_service.ini");
    const cli::ToolRun result = cli::run(
        {"search", "--ca", s_certificates->authority(), "--endpoint", s_service->endpoint(),
         "--key", "k", "--max", "30", "--settings", settings, "--no-cache", "--json", "computing"});
    ASSERT_EQ(result.status, cli::kExitOk) << result.err << s_service->errorOutput();
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["urls"].size(), 30U);
    std::remove(settings.c_str());
}

TEST_F(TlsServiceTest, WithoutTheAuthorityTheSearchSaysTheCertificateIsUntrusted) {
    const std::string settings = settingsFile("tarvex_tls_service_untrusted.ini");
    const cli::ToolRun result = cli::run({"search", "--endpoint", s_service->endpoint(), "--key",
                                          "k", "--settings", settings, "--no-cache", "computing"});
    EXPECT_EQ(result.status, cli::kExitFailed);
    EXPECT_NE(result.err.find("untrusted-certificate"), std::string::npos) << result.err;
    std::remove(settings.c_str());
}

// The server waits on every socket at once: a client silent in the handshake costs a socket.
TEST_F(TlsServiceTest, AClientStalledInTheHandshakeDoesNotHoldUpOthers) {
    const auto colon = s_service->endpoint().rfind(':');
    const int port = std::stoi(s_service->endpoint().substr(colon + 1));
    const int stalled = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(stalled, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char partialHello[] = {0x16, 0x03, 0x01, 0x00, 0x40, 0x01};
    ASSERT_EQ(::send(stalled, partialHello, sizeof partialHello, MSG_NOSIGNAL),
              static_cast<ssize_t>(sizeof partialHello));
    const cli::ToolRun result =
        cli::run({"call", "doSpellingSuggestion", "--ca", s_certificates->authority(), "--endpoint",
                  s_service->endpoint(), "--key", "k", "--phrase", "compter"});
    EXPECT_EQ(result.status, cli::kExitOk) << result.out << result.err;
    ::close(stalled);
}

TEST(TlsServiceCommandLineTest, ACertificateWithoutItsKeyIsRefused) {
    test::ServiceProcess service{TARVEX_SERVICE_BINARY, {"--cert", "/nonexistent.pem"}};
    EXPECT_TRUE(service.endpoint().empty());
    EXPECT_EQ(service.exitStatus(), 2);
}

TEST(TlsServiceCommandLineTest, AKeyThatIsNotTheCertificatesStopsTheStart) {
    const test::TestCertificates certificates;
    test::ServiceProcess service{TARVEX_SERVICE_BINARY,
                                 {"--corpus", kCorpus, "--cert", certificates.good().certificate,
                                  "--key", certificates.expired().key}};
    EXPECT_TRUE(service.endpoint().empty());
    EXPECT_NE(service.errorOutput().find("not the certificate's key"), std::string::npos)
        << service.errorOutput();
}

} // namespace
} // namespace tarvex::search
