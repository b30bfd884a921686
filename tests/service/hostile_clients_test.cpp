// The service as a process against clients that trickle, idle, pipeline or hold connections:
// everyone else is still answered at once, and a stop closes everything at once.
#include "support/service_process.h"

#include "base/sys_string.h"
#include "proxy/google_search_handler.h"
#include "soap/output_sink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tarvex::search {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kCorpus = TARVEX_BUNDLED_CORPUS;
const std::string kGetKeysPage = "GET /apis HTTP/1.1\r\nHost: localhost\r\n\r\n";
const std::string kSlowHead = "GET /apis HTTP/1.1\r\nHost: localhost\r\nX-Slow: a";
const std::string kSlowChunked = "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\n"
                                 "Transfer-Encoding: chunked\r\n\r\n1\r\na\r\n";

int portOf(const std::string& endpoint) {
    return std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
}

// One client connection, closed when it goes.
class Client {
public:
    explicit Client(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Client() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    [[nodiscard]] bool connected() const { return m_fd >= 0; }
    bool send(const std::string& text) {
        return ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    // Reads what comes within `wait`; true when the server closed the connection by then.
    bool closedWithin(std::chrono::milliseconds wait) {
        const auto end = Clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
            pollfd ready{m_fd, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) <= 0) {
                return false;
            }
            char buffer[4096];
            const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return true;
            }
            m_received.append(buffer, static_cast<std::size_t>(got));
        }
    }
    [[nodiscard]] const std::string& received() const { return m_received; }

private:
    int m_fd;
    std::string m_received;
};

std::vector<std::unique_ptr<Client>> connectMany(int port, std::size_t count,
                                                 const std::string& firstBytes) {
    std::vector<std::unique_ptr<Client>> clients;
    for (std::size_t i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<Client>(port));
        EXPECT_TRUE(clients.back()->connected()) << i;
        if (!firstBytes.empty()) {
            clients.back()->send(firstBytes);
        }
    }
    return clients;
}

// Time for a normal request on a new connection to be answered 200, or nothing.
std::optional<std::chrono::milliseconds> timeToAnswer(int port) {
    const auto began = Clock::now();
    const std::string answer = test::rawExchange(
        "127.0.0.1", port, "GET /apis HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n",
        3000);
    if (!answer.starts_with("HTTP/1.1 200 OK\r\n")) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began);
}

std::string searchBody(std::u16string_view q) {
    const UniqueSysString key{sysAllocString(u"k")};
    const UniqueSysString query{sysAllocString(q)};
    proxy::DoGoogleSearchArgs args;
    args.key = key.get();
    args.q = query.get();
    soap::StringSink sink;
    EXPECT_EQ(proxy::writeDoGoogleSearchRequest(args, sink), kOk);
    return sink.text();
}

// The status lines of the answers in `stream`, in order, each stepped over by its length.
std::vector<std::string> statusLines(const std::string& stream) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < stream.size()) {
        const auto headEnd = stream.find("\r\n\r\n", at);
        const auto length = stream.find("Content-Length: ", at);
        if (headEnd == std::string::npos || length == std::string::npos || length > headEnd) {
            lines.push_back("unreadable: " + stream.substr(at, 40));
            break;
        }
        lines.push_back(stream.substr(at, stream.find("\r\n", at) - at));
        at = headEnd + 4 + std::stoul(stream.substr(length + 16));
    }
    return lines;
}

class HostileClientsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // 2,000 connections need more descriptors than the usual soft limit.
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }

    void start(std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(), {"--corpus", kCorpus});
        m_service = std::make_unique<test::ServiceProcess>(TARVEX_SERVICE_BINARY, arguments);
        ASSERT_FALSE(m_service->endpoint().empty()) << m_service->errorOutput();
        m_port = portOf(m_service->endpoint());
    }

    std::unique_ptr<test::ServiceProcess> m_service;
    int m_port = 0;
};

// Regression: 64 clients sending a byte every few seconds held every thread of the service.
TEST_F(HostileClientsTest, SlowClientsDoNotHoldUpANormalRequest) {
    start();
    const auto slow = connectMany(m_port, 64, kSlowHead);
    std::this_thread::sleep_for(200ms);
    const auto took = timeToAnswer(m_port);
    ASSERT_TRUE(took.has_value()) << "no answer within 3 s";
    EXPECT_LT(*took, 2s);
}

TEST_F(HostileClientsTest, IdleConnectionsDoNotHoldUpANormalRequest) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2200) {
        GTEST_SKIP() << "2,000 connections need 2,200 descriptors";
    }
    start();
    const auto idle = connectMany(m_port, 2000, "");
    const auto took = timeToAnswer(m_port);
    ASSERT_TRUE(took.has_value()) << "no answer within 3 s";
    EXPECT_LT(*took, 2s);
}

TEST_F(HostileClientsTest, SlowChunkedBodiesDoNotHoldUpANormalRequest) {
    start();
    const auto slow = connectMany(m_port, 70, kSlowChunked);
    std::this_thread::sleep_for(200ms);
    const auto took = timeToAnswer(m_port);
    ASSERT_TRUE(took.has_value()) << "no answer within 3 s";
    EXPECT_LT(*took, 2s);
}

// Regression: a head that kept trickling in was waited for as long as it trickled.
TEST_F(HostileClientsTest, ARequestThatTricklesInIsCutOffAtItsDeadline) {
    start();
    Client slow{m_port};
    const auto began = Clock::now();
    bool closed = false;
    while (!closed && Clock::now() - began < 14s) {
        slow.send("a");
        closed = slow.closedWithin(500ms);
    }
    const auto took = Clock::now() - began;
    ASSERT_TRUE(closed) << "still open after 14 s";
    EXPECT_GT(took, 9s);
    EXPECT_TRUE(slow.received().starts_with("HTTP/1.1 408 Request Timeout\r\n")) << slow.received();
}

TEST_F(HostileClientsTest, WhenConnectionsRunShortTheIdleOnesAreClosedFirst) {
    start({"--connections", "100"});
    Client slow{m_port};
    slow.send(kSlowHead);
    const auto idle = connectMany(m_port, 99, "");
    std::this_thread::sleep_for(200ms);
    const auto took = timeToAnswer(m_port);
    ASSERT_TRUE(took.has_value()) << "no answer within 3 s";
    EXPECT_LT(*took, 2s);
    EXPECT_TRUE(idle.front()->closedWithin(1s)) << "the longest idle went to make room";
    EXPECT_FALSE(idle.back()->closedWithin(0ms));
    EXPECT_FALSE(slow.closedWithin(0ms))
        << "a request under way outranks an idle connection" << slow.received();
}

// Regression: SIGTERM waited until the slow clients left.
TEST_F(HostileClientsTest, StopClosesEveryConnectionWithinASecond) {
    start();
    auto clients = connectMany(m_port, 64, kSlowHead);
    auto chunked = connectMany(m_port, 16, kSlowChunked);
    auto idle = connectMany(m_port, 16, "");
    for (auto& client : chunked) {
        clients.push_back(std::move(client));
    }
    for (auto& client : idle) {
        clients.push_back(std::move(client));
    }
    std::this_thread::sleep_for(200ms);
    const auto began = Clock::now();
    int exitCode = -2;
    std::thread stopper{[&] { exitCode = m_service->stop(); }};
    std::size_t open = 0;
    for (auto& client : clients) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(began + 1s - Clock::now());
        open += client->closedWithin(std::max(left, 0ms)) ? 0 : 1;
    }
    stopper.join();
    EXPECT_EQ(open, 0U) << "connections still open a second after SIGTERM";
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(m_service->errorOutput().find("tarvex-service: stopped"), std::string::npos);
}

// Regression: of three requests sent in one write only the first was answered, and the
// connection hung.
TEST_F(HostileClientsTest, PipelinedRequestsAreAnsweredInOrder) {
    start();
    const std::string body = searchBody(u"lisp");
    const std::string chunk = body.substr(0, 100);
    const std::string pipelined =
        kGetKeysPage +
        "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\nContent-Type: text/xml\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body +
        "GET /elsewhere HTTP/1.1\r\nHost: localhost\r\n\r\n" +
        "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: chunked\r\n\r\n" +
        "64\r\n" + chunk + "\r\n" + (std::stringstream{} << std::hex << body.size() - 100).str() +
        "\r\n" + body.substr(100) + "\r\n0\r\n\r\n" +
        "GET /search?q=lisp HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    const auto began = Clock::now();
    const std::string answers = test::rawExchange("127.0.0.1", m_port, pipelined, 3000);
    EXPECT_LT(Clock::now() - began, 2s) << "the connection was not closed after the last";
    EXPECT_EQ(
        statusLines(answers),
        (std::vector<std::string>{"HTTP/1.1 200 OK", "HTTP/1.1 200 OK", "HTTP/1.1 404 Not Found",
                                  "HTTP/1.1 200 OK", "HTTP/1.1 200 OK"}));
    EXPECT_NE(answers.find("doGoogleSearchResponse"), std::string::npos);
}

TEST_F(HostileClientsTest, AClientThatExpectsContinueIsToldToSendItsBody) {
    start();
    const std::string body = searchBody(u"lisp");
    Client client{m_port};
    client.send("POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\nExpect: 100-continue\r\n"
                "Connection: close\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n");
    EXPECT_FALSE(client.closedWithin(500ms));
    EXPECT_EQ(client.received(), "HTTP/1.1 100 Continue\r\n\r\n");
    client.send(body);
    EXPECT_TRUE(client.closedWithin(2s));
    EXPECT_NE(client.received().find("HTTP/1.1 200 OK\r\n"), std::string::npos);
}

} // namespace
} // namespace tarvex::search
