// The client against a scripted server on 127.0.0.1: the request bytes on the wire, the final
// status, redirects and the failures of the connection.
#include "http/http_client.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::http {
namespace {

using test::ScriptedServer;

RequestSettings soapPost(std::string_view body) {
    RequestSettings settings;
    settings.method = "POST";
    settings.contentType = "text/xml";
    settings.extraHeaders = "SOAPAction: \"urn:GoogleSearchAction\"\r\nAccept: text/xml\r\n";
    settings.body = body;
    return settings;
}

TEST(HttpClientTest, TheRequestOnTheWire) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, "<ok/>"))}};
    HttpClient client;
    const std::string body(9000, 'b'); // more than two send blocks
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), soapPost(body)));
    EXPECT_EQ(client.response().body, "<ok/>");
    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0], "POST /search/beta2 HTTP/1.1\r\n"
                                    "Content-Length: 9000\r\n"
                                    "Content-Type: text/xml\r\n"
                                    "SOAPAction: \"urn:GoogleSearchAction\"\r\n"
                                    "Accept: text/xml\r\n"
                                    "Host: 127.0.0.1\r\n"
                                    "User-Agent: Tarvex-Native/7.00\r\n"
                                    "\r\n" +
                                        body);
}

TEST(HttpClientTest, SendModesPutTheSameBytesOnTheWire) {
    const std::string body = "<soap/>";
    for (const std::uint32_t flags :
         {RequestSettings::kJudgeStatus,
          RequestSettings::kJudgeStatus | RequestSettings::kSendInBlocks}) {
        ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, "x"))}};
        HttpClient client;
        RequestSettings settings = soapPost(body);
        settings.flags = flags;
        settings.sendBlockSize = 3;
        ASSERT_TRUE(client.navigate(*parseUrl(server.url("/p?q=1")), settings));
        EXPECT_EQ(server.requests()[0].substr(0, 18), "POST /p?q=1 HTTP/1");
        EXPECT_EQ(server.requests()[0].substr(server.requests()[0].size() - body.size()), body);
    }
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, "x"))}};
    HttpClient client;
    RequestSettings settings = soapPost(body);
    settings.flags = RequestSettings::kSendThroughCallback | RequestSettings::kJudgeStatus;
    settings.sendCallback = [](Socket& socket, std::string_view text, std::string_view content) {
        std::size_t sent = 0;
        EXPECT_EQ(socket.send({text, content}, sent), kOk);
        return sent;
    };
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), settings));
    EXPECT_NE(server.requests()[0].find("\r\n\r\n<soap/>"), std::string::npos);
}

TEST(HttpClientTest, StatusJudgement) {
    const std::pair<int, bool> cases[] = {{200, true},  {202, true},  {206, true},  {304, true},
                                          {305, true},  {404, false}, {500, false}, {401, false},
                                          {407, false}, {207, false}};
    for (const auto& [status, accepted] : cases) {
        ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(
            status, "b", status == 401 ? "WWW-Authenticate: Basic realm=\"r\"\r\n" : ""))}};
        HttpClient client;
        EXPECT_EQ(client.navigate(*parseUrl(server.url()), soapPost("x")), accepted) << status;
        EXPECT_EQ(client.response().status, status);
    }
}

TEST(HttpClientTest, RedirectsCarryTheRequestAlong) {
    ScriptedServer target{{ScriptedServer::answer(ScriptedServer::response(200, "moved here"))}};
    ScriptedServer first{{
        ScriptedServer::answer(ScriptedServer::response(302, "", "Location: next\r\n"), false),
        ScriptedServer::answer(
            ScriptedServer::response(301, "", "Location: " + target.url("/final") + "\r\n")),
    }};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(first.url("/search/beta2")), soapPost("<body/>")));
    EXPECT_EQ(client.response().status, 200);
    EXPECT_EQ(client.response().body, "moved here");
    ASSERT_EQ(first.requests().size(), 2U);
    EXPECT_EQ(first.requests()[1].substr(0, 27), "POST /search/next HTTP/1.1\r");
    ASSERT_EQ(target.requests().size(), 1U) << "another host or port gets its own connection";
    EXPECT_NE(target.requests()[0].find("SOAPAction"), std::string::npos) << "headers go along";
    EXPECT_NE(target.requests()[0].find("\r\n\r\n<body/>"), std::string::npos) << "and the body";
}

TEST(HttpClientTest, RedirectWithoutLocationIsTheFinalAnswer) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(302, "here"))}};
    HttpClient client;
    EXPECT_TRUE(client.navigate(*parseUrl(server.url()), soapPost("x")));
    EXPECT_EQ(client.response().status, 302);
}

TEST(HttpClientTest, RedirectLoopsEnd) {
    std::vector<ScriptedServer::Answer> loop;
    loop.reserve(10);
    for (int i = 0; i < 10; ++i) {
        loop.push_back(ScriptedServer::answer(
            ScriptedServer::response(302, "", "Location: /search/beta2\r\n"), false));
    }
    ScriptedServer server{loop};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), soapPost("x")));
    EXPECT_EQ(server.requests().size(), 6U) << "the request and five redirects";
}

TEST(HttpClientTest, ConnectionFailures) {
    const test::ClosedPort closed;
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(closed.url()), soapPost("x")));
    EXPECT_NE(client.lastSocketError(), 0);
    EXPECT_FALSE(client.navigate(*parseUrl("http://no-such-host.invalid/"), soapPost("x")));
    EXPECT_FALSE(client.navigate(*parseUrl("https://127.0.0.1/"), soapPost("x"))) << "only http";
}

TEST(HttpClientTest, TimeoutsAndCutAnswers) {
    ScriptedServer silent{
        {ScriptedServer::Answer{{{"HTTP/1.1 200 OK\r\n\r\n", std::chrono::milliseconds{3000}}}}}};
    HttpClient client;
    RequestSettings settings = soapPost("x");
    settings.timeoutMs = 200;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.navigate(*parseUrl(silent.url()), settings));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds{2});

    ScriptedServer cut{
        {ScriptedServer::answer("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..")}};
    EXPECT_FALSE(client.navigate(*parseUrl(cut.url()), soapPost("x")));
    EXPECT_EQ(client.response().lastResult, ReadResult::BodyReadFailed);
}

TEST(HttpClientTest, AnswerSentInSlowPieces) {
    ScriptedServer server{
        {ScriptedServer::Answer{{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc"},
                                 {"\r\n2\r\nde\r\n", std::chrono::milliseconds{50}},
                                 {"0\r\n\r\n", std::chrono::milliseconds{50}}}}}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), soapPost("x")));
    EXPECT_EQ(client.response().body, "abcde");
}

} // namespace
} // namespace tarvex::http

namespace tarvex::http {
namespace {

TEST(HttpClientTest, AConnectionTheServerClosedIsNotReused) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, "one")),
                           ScriptedServer::answer(ScriptedServer::response(200, "two"))}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), soapPost("x")));
    EXPECT_EQ(client.response().body, "one");
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), soapPost("y")))
        << client.response().status << " " << static_cast<int>(client.response().lastResult) << " "
        << client.lastSocketError();
    EXPECT_EQ(client.response().body, "two");
}

} // namespace
} // namespace tarvex::http
