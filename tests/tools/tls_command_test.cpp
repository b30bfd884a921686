// tarvex call and tarvex search against https endpoints: --ca adds the test authority, and each
// kind of refused handshake is named in what the tool prints, as is each failure of an answer
// (over TLS or in the clear) that has a name.
#include "http/http_response.h"
#include "support/search_answers.h"
#include "support/tls_test_server.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

using test::ScriptedServer;
using test::TlsTestServer;

const test::TestCertificates& certificates() {
    static const test::TestCertificates made;
    return made;
}

std::string freshSettings(const std::string& name) {
    const std::string path = ::testing::TempDir() + name;
    std::remove(path.c_str());
    return path;
}

TEST(TlsCommandTest, ASearchOfThirtyResultsOverHttps) {
    TlsTestServer server{TlsTestServer::Behaviour::Serve,
                         certificates().good(),
                         {ScriptedServer::answer(test::searchAnswer(0, 10, 77)),
                          ScriptedServer::answer(test::searchAnswer(10, 10, 77)),
                          ScriptedServer::answer(test::searchAnswer(20, 10, 77))}};
    const std::string settings = freshSettings("tarvex_tls_search.ini");
    const ToolRun result =
        run({"search", "--ca", certificates().authority(), "--endpoint", server.url(), "--key", "k",
             "--max", "30", "--settings", settings, "--no-cache", "--json", "computing"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["urls"].size(), 30U);
    EXPECT_EQ(json["urls"][29], "http://r/30");
    EXPECT_EQ(server.requests().size(), 3U);
    std::remove(settings.c_str());
}

TEST(TlsCommandTest, ASearchWithoutTheAuthoritySaysTheCertificateIsUntrusted) {
    TlsTestServer server{TlsTestServer::Behaviour::Serve,
                         certificates().good(),
                         {ScriptedServer::answer(test::searchAnswer(0, 10))}};
    const std::string settings = freshSettings("tarvex_tls_untrusted.ini");
    const ToolRun result = run({"search", "--endpoint", server.url(), "--key", "k", "--settings",
                                settings, "--no-cache", "computing"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.out, "Error!\n");
    EXPECT_NE(result.err.find("tarvex search: untrusted-certificate: "), std::string::npos)
        << result.err;
    EXPECT_TRUE(server.requests().empty());
    std::remove(settings.c_str());
}

struct CallRefusal {
    const char* name;
    TlsTestServer::Behaviour behaviour;
    const test::CertificateFiles& (test::TestCertificates::*certificate)() const;
    const char* expected;
};

void PrintTo(const CallRefusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class TlsCallRefusalTest : public ::testing::TestWithParam<CallRefusal> {};

TEST_P(TlsCallRefusalTest, TheJsonAndTheMessageNameTheFailure) {
    const CallRefusal& refusal = GetParam();
    TlsTestServer server{refusal.behaviour, (certificates().*refusal.certificate)()};
    const ToolRun result = run({"call", "doSpellingSuggestion", "--ca", certificates().authority(),
                                "--endpoint", server.url(), "--key", "k", "--phrase", "x"});
    EXPECT_EQ(result.status, kExitFailed);
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["clientError"], 5) << "a transport failure";
    EXPECT_EQ(json["tlsFailure"], refusal.expected);
    EXPECT_EQ(result.err.rfind(std::string{"tarvex call: "} + refusal.expected + ": ", 0), 0U)
        << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TlsCallRefusalTest,
    ::testing::Values(CallRefusal{"Untrusted", TlsTestServer::Behaviour::Serve,
                                  &test::TestCertificates::untrusted, "untrusted-certificate"},
                      CallRefusal{"WrongName", TlsTestServer::Behaviour::Serve,
                                  &test::TestCertificates::wrongName, "name-mismatch"},
                      CallRefusal{"Expired", TlsTestServer::Behaviour::Serve,
                                  &test::TestCertificates::expired, "expired-certificate"},
                      CallRefusal{"Garbage", TlsTestServer::Behaviour::Garbage,
                                  &test::TestCertificates::good, "handshake-failed"},
                      CallRefusal{"Closed", TlsTestServer::Behaviour::CloseInHandshake,
                                  &test::TestCertificates::good, "handshake-failed"}),
    [](const ::testing::TestParamInfo<CallRefusal>& row) { return std::string{row.param.name}; });

// A failure that once printed only {"error":"0x80004005","clientError":5}: the answer each
// connection gets, over TLS or in the clear, and the reason both commands give.
struct NamedFailure {
    const char* name;
    bool tls;
    TlsTestServer::Behaviour behaviour;
    std::string answer;
    const char* reason;
};

class NamedFailureTest : public ::testing::TestWithParam<NamedFailure> {};

TEST_P(NamedFailureTest, CallAndSearchNameTheReason) {
    const NamedFailure& row = GetParam();
    std::unique_ptr<TlsTestServer> secure;
    std::unique_ptr<ScriptedServer> plain;
    std::vector<ScriptedServer::Answer> answers{ScriptedServer::answer(row.answer)};
    if (row.tls) {
        secure = std::make_unique<TlsTestServer>(row.behaviour, certificates().good(),
                                                 std::move(answers), true);
    } else {
        plain = std::make_unique<ScriptedServer>(std::move(answers), true);
    }
    const std::string url = row.tls ? secure->url() : plain->url();
    const std::string reason = row.reason;

    const ToolRun call = run({"call", "doSpellingSuggestion", "--ca", certificates().authority(),
                              "--endpoint", url, "--key", "k", "--phrase", "x"});
    EXPECT_EQ(call.status, kExitFailed);
    const auto json = nlohmann::json::parse(call.out);
    EXPECT_EQ(json["error"], "0x80004005");
    EXPECT_EQ(json["clientError"], 5);
    EXPECT_EQ(json.value("reason", ""), reason);
    EXPECT_FALSE(json.contains("tlsFailure")) << call.out;
    EXPECT_EQ(call.err, "tarvex call: " + reason + "\n");

    const std::string settings = freshSettings("tarvex_named_failure.ini");
    const ToolRun search = run({"search", "--ca", certificates().authority(), "--endpoint", url,
                                "--key", "k", "--settings", settings, "--no-cache", "x"});
    EXPECT_EQ(search.status, kExitFailed);
    EXPECT_EQ(search.out, "Error!\n");
    EXPECT_NE(search.err.find("tarvex search: " + reason + "\n"), std::string::npos) << search.err;
    std::remove(settings.c_str());
}

const std::string kCutBody = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<short";
constexpr auto kServe = TlsTestServer::Behaviour::Serve;

INSTANTIATE_TEST_SUITE_P(
    Kinds, NamedFailureTest,
    ::testing::Values(NamedFailure{"CutByCloseNotify", true, kServe, kCutBody,
                                   "the connection closed before the whole answer arrived"},
                      NamedFailure{"CutByTcpClose", false, kServe, kCutBody,
                                   "the connection closed before the whole answer arrived"},
                      NamedFailure{"ChunkedCut", false, kServe,
                                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc",
                                   "the chunked body was cut short"},
                      NamedFailure{
                          "RedirectToHttp", true, kServe,
                          "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/search/beta2\r\n"
                          "Content-Length: 0\r\n\r\n",
                          "refused a redirect from https to http"},
                      NamedFailure{"GarbageRecords", true, TlsTestServer::Behaviour::GarbageAnswer,
                                   "", "the TLS records were not valid"},
                      NamedFailure{"Over64MiB", false, kServe,
                                   "HTTP/1.1 200 OK\r\nContent-Length: " +
                                       std::to_string(http::kMaxResponseBytes + 1) + "\r\n\r\n",
                                   "the answer is larger than 64 MiB"}),
    [](const ::testing::TestParamInfo<NamedFailure>& row) { return std::string{row.param.name}; });

TEST(TlsCommandTest, ATrustFileThatDoesNotLoadStopsTheCommand) {
    const std::string missing = (certificates().folder() / "missing.pem").string();
    const ToolRun call = run({"call", "doSpellingSuggestion", "--ca", missing, "--endpoint",
                              "https://127.0.0.1:1/", "--key", "k", "--phrase", "x"});
    EXPECT_EQ(call.status, kExitFailed);
    EXPECT_NE(call.err.find("trust file"), std::string::npos) << call.err;
    const std::string settings = freshSettings("tarvex_tls_missing.ini");
    const ToolRun search = run({"search", "--ca", missing, "--endpoint", "https://127.0.0.1:1/",
                                "--key", "k", "--settings", settings, "--no-cache", "x"});
    EXPECT_EQ(search.status, kExitFailed);
    EXPECT_NE(search.err.find("trust file"), std::string::npos) << search.err;
    std::remove(settings.c_str());
}

// A transport failure that is no TLS failure names none.
TEST(TlsCommandTest, APlainConnectionFailureHasNoTlsFailure) {
    const test::ClosedPort closed;
    const ToolRun result =
        run({"call", "doSpellingSuggestion", "--endpoint", closed.url(), "--phrase", "x"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_FALSE(nlohmann::json::parse(result.out).contains("tlsFailure")) << result.out;
}

} // namespace
} // namespace tarvex::cli
