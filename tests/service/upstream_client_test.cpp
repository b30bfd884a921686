// The client of upstream engines against hostile answers: whatever an engine sends, the fetch
// ends soon as a fault that says why, having read little more than its cap.
#include "service/upstream_client.h"

#include "http/tls_socket.h"
#include "service/search_backend.h"
#include "support/hostile_answers.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::search {
namespace {

using test::ScriptedServer;

constexpr std::size_t kCap = std::size_t{64} << 10;
constexpr std::size_t kBlock = 16384;
// Far past the cap, so a client that reads on to the end is caught by the bytes it was sent.
constexpr std::size_t kEndlessBlocks = (std::size_t{256} << 20) / kBlock;

std::string faultOf(const std::string& url, std::chrono::milliseconds timeout) {
    const UpstreamClient client{http::TlsTrust::system()};
    try {
        (void)client.get(url, FetchOptions{kCap, timeout, false, false, "*/*"});
    } catch (const BackendError& error) {
        return error.what();
    }
    return "no fault";
}

ScriptedServer::Answer endless(const std::string& head, std::string block) {
    return ScriptedServer::generated(head, [block](std::size_t index) {
        return index < kEndlessBlocks ? block : std::string{};
    });
}

TEST(UpstreamClientTest, HostileAnswersEndAsFaultsThatSayWhy) {
    const std::string dots(kBlock, '.');
    struct Case {
        const char* what;
        ScriptedServer::Answer answer;
        std::string fault;
    };
    std::vector<Case> cases;
    cases.push_back({"a body without length that never ends",
                     endless("HTTP/1.1 200 OK\r\n\r\n", dots),
                     "upstream: answer larger than 65536 bytes"});
    cases.push_back({"a length past the cap",
                     endless("HTTP/1.1 200 OK\r\nContent-Length: 268435456\r\n\r\n", dots),
                     "upstream: answer larger than 65536 bytes"});
    cases.push_back({"chunks that never end",
                     endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                             "4000\r\n" + dots + "\r\n"),
                     "upstream: answer larger than 65536 bytes"});
    cases.push_back({"header lines that never end",
                     ScriptedServer::generated("HTTP/1.1 200 OK\r\n",
                                               [](std::size_t index) {
                                                   return index < kEndlessBlocks
                                                              ? test::shortHeaderLines(index * 1024,
                                                                                       1024)
                                                              : std::string{};
                                               }),
                     "upstream: unreadable HTTP headers"});
    cases.push_back({"a redirect to a scheme that is not fetched",
                     ScriptedServer::answer("HTTP/1.1 302 Found\r\nLocation: gopher://x/\r\n"
                                            "Content-Length: 0\r\n\r\n"),
                     "upstream: HTTP 302"});
    cases.push_back({"no HTTP at all", ScriptedServer::answer("SSH-2.0-OpenSSH\r\n\r\n"),
                     "upstream: no HTTP answer"});
    for (Case& entry : cases) {
        ScriptedServer server{{std::move(entry.answer)}};
        EXPECT_EQ(faultOf(server.url("/"), std::chrono::seconds{10}), entry.fault) << entry.what;
    }
}

TEST(UpstreamClientTest, ATrickleIsCutAtTheDeadline) {
    // A byte every 100 ms keeps every single wait short; only the deadline of the whole fetch
    // ends it.
    std::vector<ScriptedServer::Piece> pieces{{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"}};
    for (int i = 0; i < 100; ++i) {
        pieces.push_back({"x", std::chrono::milliseconds{100}});
    }
    ScriptedServer server{{ScriptedServer::Answer{std::move(pieces), true}}};
    EXPECT_EQ(faultOf(server.url("/"), std::chrono::milliseconds{700}), "upstream: timed out");
}

} // namespace
} // namespace tarvex::search
