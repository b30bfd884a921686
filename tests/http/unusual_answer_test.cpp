// The client against scripted servers whose answers are out of the common run: a kept
// connection closed under the next request, transfer codings in other letter cases, interim
// answers other than 100, and bytes after the body. Each case checks what the client ends with
// and which requests went out on which connections.
#include "http/http_client.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace tarvex::http {
namespace {

using test::ScriptedServer;

RequestSettings post(std::string_view body) {
    RequestSettings settings;
    settings.method = "POST";
    settings.contentType = "text/xml";
    settings.body = body;
    return settings;
}

ScriptedServer::Answer keptOpen(const std::string& body) {
    return ScriptedServer::answer(ScriptedServer::response(200, body), false);
}

// RFC 9112 9.3.1: a kept connection may be closed by the server just as the next request goes
// out; that request was never taken and goes once more on a new connection.
TEST(KeptConnectionTest, ClosedBeforeTheAnswerTheRequestGoesAgainOnANewConnection) {
    ScriptedServer server{{keptOpen("one"), ScriptedServer::hangUp(),
                           ScriptedServer::answer(ScriptedServer::response(200, "two"))}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("<first/>")));
    EXPECT_EQ(client.response().body, "one");
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("<second/>")));
    EXPECT_EQ(client.response().status, 200);
    EXPECT_EQ(client.response().body, "two");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[2], requests[1]) << "the same bytes again";
    EXPECT_NE(requests[2].find("<second/>"), std::string::npos);
    EXPECT_EQ(server.connections(), 2);
}

TEST(KeptConnectionTest, TheRequestGoesAgainOnceOnly) {
    ScriptedServer server{{keptOpen("one"), ScriptedServer::hangUp(), ScriptedServer::hangUp(),
                           ScriptedServer::answer(ScriptedServer::response(200, "later"))}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("<first/>")));
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("<second/>")));
    EXPECT_EQ(client.response().status, -1);
    EXPECT_EQ(client.response().lastResult, ReadResult::HeaderReadFailed);
    EXPECT_EQ(server.requests().size(), 3U) << "the request and one more try";
    EXPECT_EQ(server.connections(), 2);
    // The next exchange starts afresh and gets the answer the server has left.
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("<third/>")));
    EXPECT_EQ(client.response().body, "later");
    EXPECT_EQ(server.connections(), 3);
}

TEST(KeptConnectionTest, ANewConnectionClosedBeforeTheAnswerIsNotTriedAgain) {
    ScriptedServer server{{ScriptedServer::hangUp(),
                           ScriptedServer::answer(ScriptedServer::response(200, "unused"))}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("<only/>")));
    EXPECT_EQ(client.response().lastResult, ReadResult::HeaderReadFailed);
    EXPECT_EQ(server.requests().size(), 1U);
}

// Once a status line came back the server has acted on the request, so it is not sent twice.
TEST(KeptConnectionTest, AnAnswerCutAfterItsStatusIsNotTriedAgain) {
    ScriptedServer server{
        {keptOpen("one"), ScriptedServer::answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab"),
         ScriptedServer::answer(ScriptedServer::response(200, "unused"))}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("<first/>")));
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("<second/>")));
    EXPECT_EQ(client.response().status, 200);
    EXPECT_EQ(client.response().lastResult, ReadResult::BodyReadFailed);
    EXPECT_EQ(server.requests().size(), 2U);
}

// Only "chunked" in lower case is the chunked coding; other spellings are a body without length,
// read to the end of the connection as it came.
TEST(TransferCodingTest, ChunkedInOtherLetterCasesIsReadToTheEnd) {
    const std::string chunks = "5\r\nhello\r\n0\r\n\r\n";
    for (const std::string spelling : {"CHUNKED", "Chunked", "chunkeD"}) {
        ScriptedServer server{{ScriptedServer::answer(
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: " + spelling + "\r\n\r\n" + chunks)}};
        HttpClient client;
        ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("x"))) << spelling;
        EXPECT_EQ(client.response().lastResult, ReadResult::Done);
        EXPECT_EQ(client.response().body, chunks) << spelling;
    }
    ScriptedServer server{
        {ScriptedServer::answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks)}};
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("x")));
    EXPECT_EQ(client.response().body, "hello") << "the lower-case spelling is decoded";
}

// On a connection the server keeps, such a body ends only with the receive timeout.
TEST(TransferCodingTest, ChunkedInCapitalsOnAKeptConnectionEndsWithTheTimeout) {
    ScriptedServer server{{ScriptedServer::answer(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", false)}};
    HttpClient client;
    RequestSettings settings = post("x");
    settings.timeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), settings));
    // Not before the wait has run out (the socket's wait may round a little short).
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds{250});
    EXPECT_EQ(client.response().body, "5\r\nhello\r\n0\r\n\r\n");
}

const std::string kEarlyHints = "HTTP/1.1 103 Early Hints\r\nLink: </s.css>; rel=preload\r\n\r\n";

// Only 100 is skipped as interim; any other status is the final answer, and 1xx is none the
// client accepts. Its body runs to the end of the connection and takes the real answer in.
TEST(InterimAnswerTest, AnotherInterimStatusIsTheFinalAnswerAndRefused) {
    const std::string real = ScriptedServer::response(200, "<ok/>");
    for (const std::string& interim :
         {kEarlyHints, std::string{"HTTP/1.1 102 Processing\r\n\r\n"}}) {
        ScriptedServer server{{ScriptedServer::answer(interim + real)}};
        HttpClient client;
        EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("x")));
        EXPECT_EQ(client.response().lastResult, ReadResult::Done);
        EXPECT_EQ(client.response().status, interim == kEarlyHints ? 103 : 102);
        EXPECT_EQ(client.response().body, real);
        EXPECT_EQ(server.requests().size(), 1U);
    }
    ScriptedServer server{{ScriptedServer::answer(kEarlyHints + real)}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("x")));
    EXPECT_EQ(client.response().headers.get("Link"), "</s.css>; rel=preload");
}

TEST(InterimAnswerTest, ContinueThenEarlyHintsStopsAtTheHints) {
    ScriptedServer server{{ScriptedServer::answer("HTTP/1.1 100 Continue\r\n\r\n" + kEarlyHints +
                                                  ScriptedServer::response(200, "<ok/>"))}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("x")));
    EXPECT_EQ(client.response().status, 103);
}

// The refused answer closes the connection, so the real answer still waiting on it is never
// read as the answer to the next request.
TEST(InterimAnswerTest, TheRealAnswerLeftBehindIsNotTheNextOne) {
    ScriptedServer server{
        {ScriptedServer::answer("HTTP/1.1 103 Early Hints\r\nContent-Length: 0\r\n\r\n" +
                                    ScriptedServer::response(200, "stale"),
                                false),
         ScriptedServer::answer(ScriptedServer::response(200, "fresh"))}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post("x")));
    EXPECT_EQ(client.response().status, 103);
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("y")));
    EXPECT_EQ(client.response().body, "fresh");
    EXPECT_EQ(server.connections(), 2);
}

const std::string kForgedAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nforged";

// Two requests from one client, `pause` apart: the first must read "one", the second "two".
void expectOneThenTwo(const ScriptedServer& server,
                      std::chrono::milliseconds pause = std::chrono::milliseconds{0}) {
    HttpClient client;
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("x")));
    EXPECT_EQ(client.response().body, "one");
    std::this_thread::sleep_for(pause);
    ASSERT_TRUE(client.navigate(*parseUrl(server.url()), post("y")));
    EXPECT_EQ(client.response().body, "two");
}

// RFC 9112 6.3: bytes past the end of an answer are never taken as an answer of their own.
// Those that came with the answer are dropped with it.
TEST(BytesAfterTheBodyTest, SentWithTheAnswerTheyAreDropped) {
    ScriptedServer server{
        {ScriptedServer::answer(ScriptedServer::response(200, "one") + kForgedAnswer, false),
         ScriptedServer::answer(ScriptedServer::response(200, "two"))}};
    expectOneThenTwo(server);
    EXPECT_EQ(server.requests().size(), 2U);
}

// Those still waiting on the connection when the next request is due make it unfit for reuse:
// the request goes on a new one.
TEST(BytesAfterTheBodyTest, ArrivedLaterTheyMakeTheConnectionUnfitForReuse) {
    ScriptedServer server{{ScriptedServer::Answer{{{ScriptedServer::response(200, "one")},
                                                   {kForgedAnswer, std::chrono::milliseconds{20}}},
                                                  false},
                           ScriptedServer::answer(ScriptedServer::response(200, "two"))}};
    expectOneThenTwo(server, std::chrono::milliseconds{300}); // the late bytes arrive
    EXPECT_EQ(server.connections(), 2);
}

// Regression: bytes that came with the body were dropped but the connection was kept, so the
// rest of a forged answer arriving after the next request was taken as its answer.
TEST(BytesAfterTheBodyTest, SentPartlyWithTheAnswerTheyEndTheConnection) {
    ScriptedServer server{{ScriptedServer::Answer{{{ScriptedServer::response(200, "one") + "XX"},
                                                   {kForgedAnswer, std::chrono::milliseconds{300}}},
                                                  false},
                           ScriptedServer::answer(ScriptedServer::response(200, "two"))}};
    expectOneThenTwo(server);
    EXPECT_EQ(server.connections(), 2);
}

} // namespace
} // namespace tarvex::http
