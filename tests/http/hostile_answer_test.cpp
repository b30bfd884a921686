// The client against scripted servers that send too much or take too long: each exchange fails
// as the read failure it is, soon and in little memory. The answers are made as they are sent.
#include "http/http_client.h"
#include "support/hostile_answers.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::http {
namespace {

using test::ScriptedServer;

constexpr std::size_t kLinesPerBlock = 4096;
// 63 MiB of short header lines.
constexpr std::size_t kManyLineBlocks =
    (std::size_t{63} << 20) / (kLinesPerBlock * test::kShortHeaderLineBytes);

RequestSettings post() {
    RequestSettings settings;
    settings.method = "POST";
    settings.contentType = "text/xml";
    settings.body = "<x/>";
    return settings;
}

// `head`, 63 MiB of short distinct header lines, then `tail`.
ScriptedServer::Answer manyShortLines(const std::string& head, const std::string& tail) {
    return ScriptedServer::generated(head, [tail](std::size_t index) {
        if (index < kManyLineBlocks) {
            return test::shortHeaderLines(index * kLinesPerBlock, kLinesPerBlock);
        }
        return index == kManyLineBlocks ? tail : std::string{};
    });
}

// 65,536 names of one hash (2.6 MB) took the header table 8 s and more.
TEST(HostileAnswerTest, CollidingHeaderNames) {
    constexpr std::size_t kNames = 65536;
    ScriptedServer server{{ScriptedServer::generated(
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n", [](std::size_t index) {
            if (index < kNames) {
                return test::collidingHeaderName(index) + ": v\r\n";
            }
            return std::string{index == kNames ? "\r\nok" : ""};
        })}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post()));
    EXPECT_EQ(client.response().lastResult, ReadResult::HeaderReadFailed);
}

// 63 MiB of short distinct header lines took 630 MB or more.
TEST(HostileAnswerTest, ManyShortHeaderLines) {
    ScriptedServer server{{manyShortLines("HTTP/1.1 200 OK\r\n", "Content-Length: 2\r\n\r\nok")}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post()));
    EXPECT_EQ(client.response().lastResult, ReadResult::HeaderReadFailed);
    EXPECT_EQ(client.response().headers.size(), 0U);
}

// The same as trailers of a chunked body.
TEST(HostileAnswerTest, ManyShortTrailers) {
    ScriptedServer server{{manyShortLines("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                                          "Trailer: 0000001\r\n\r\n2\r\nok\r\n0\r\n",
                                          "\r\n")}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post()));
    EXPECT_EQ(client.response().lastResult, ReadResult::ChunkedBodyFailed);
}

// A body without length past 64 MiB was cut and handed on, to fail later as bad XML.
TEST(HostileAnswerTest, BodyWithoutLengthPastTheCap) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    ScriptedServer server{
        {ScriptedServer::generated("HTTP/1.1 200 OK\r\n\r\n", [](std::size_t index) {
            if (index < kMaxResponseBytes / kBlock) {
                return std::string(kBlock, 'b');
            }
            return std::string{index == kMaxResponseBytes / kBlock ? "!" : ""};
        })}};
    HttpClient client;
    EXPECT_FALSE(client.navigate(*parseUrl(server.url()), post()));
    EXPECT_EQ(client.response().lastResult, ReadResult::BodyReadFailed);
    EXPECT_EQ(client.failureReason(), FailureReason::TooLarge);
    EXPECT_TRUE(client.response().body.empty());
}

// Moves on by `step` whenever it is read.
class SteppingClock final : public Clock {
public:
    explicit SteppingClock(std::chrono::seconds step) : m_step(step) {}
    [[nodiscard]] TimePoint now() const override {
        m_now += m_step;
        return m_now;
    }

private:
    std::chrono::seconds m_step;
    mutable TimePoint m_now = std::chrono::steady_clock::now();
};

// The 60 s of an exchange bound only the socket waits; the reading of the answer counts too.
TEST(HostileAnswerTest, TheExchangeIsTimedOnTheClientsClock) {
    for (const auto step :
         {std::chrono::seconds{0}, HttpClient::kMaxExchangeTime + std::chrono::seconds{1}}) {
        ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, "ok"))}};
        const SteppingClock clock{step};
        HttpClient client{createSocketFor, clock};
        const bool late = step > HttpClient::kMaxExchangeTime;
        EXPECT_EQ(client.navigate(*parseUrl(server.url()), post()), !late);
        EXPECT_EQ(client.response().lastResult,
                  late ? ReadResult::HeaderReadFailed : ReadResult::Done);
    }
}

} // namespace
} // namespace tarvex::http
