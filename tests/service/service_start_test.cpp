// The service as systemd starts it: on the socket it is passed, searched through by the real
// tool, stopping by itself once idle while the socket stays to start it again; and the
// configuration files as a start reads them.
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kService = TARVEX_SERVICE_BINARY;
const std::string kTool = TARVEX_TOOL_BINARY;
const std::string kCorpus = TARVEX_BUNDLED_CORPUS;
const std::string kSocketActivate = "/usr/bin/systemd-socket-activate";
// Waits long enough for a start under the sanitizers on a busy machine; running out fails.
constexpr auto kLimit = 60s;
const std::string kIdleSeconds = "2";
// Runs the program that follows with LISTEN_PID naming it, as a service manager starts one.
const std::vector<std::string> kAsPassed{"-c", "export LISTEN_PID=$$; exec \"$0\" \"$@\""};

// A loopback socket listening on a free port, as a systemd socket unit holds one.
class ListeningSocket {
public:
    ListeningSocket() : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(m_fd, 16) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~ListeningSocket() { close(m_fd); }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] int port() const { return m_port; }
    // Whether a client waits to be accepted, looked at for up to `limit`.
    [[nodiscard]] bool clientWaits(std::chrono::milliseconds limit) const {
        pollfd waiting{m_fd, POLLIN, 0};
        return poll(&waiting, 1, static_cast<int>(limit.count())) > 0;
    }

private:
    int m_fd;
    int m_port = 0;
};

std::string endpointAt(int port) {
    return "http://127.0.0.1:" + std::to_string(port) + "/search/beta2";
}

std::vector<std::string> urlsOf(const std::string& output) {
    const auto json = nlohmann::json::parse(output, nullptr, false);
    if (json.is_discarded() || !json.contains("urls")) {
        return {};
    }
    return json.at("urls").get<std::vector<std::string>>();
}

class ServiceStartTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path{testing::TempDir()} / ("service_start_" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "home");
    }
    void TearDown() override { fs::remove_all(m_root); }

    // `tarvex search` as its own process, as a user runs it, with settings of its own.
    [[nodiscard]] std::unique_ptr<ChildProcess> startSearch(int port) const {
        return std::make_unique<ChildProcess>(
            kTool,
            std::vector<std::string>{"search", "--endpoint", endpointAt(port), "--key", "k",
                                     "--settings", (m_root / "settings.ini").string(), "--no-cache",
                                     "--json", "computing"},
            environmentWith({{"TARVEX_ENDPOINT", std::nullopt}}));
    }
    // The service's environment: configuration files only where the test puts them.
    [[nodiscard]] std::vector<std::string> serviceEnvironment(bool passed) const {
        return environmentWith(
            {{"XDG_CONFIG_HOME", (m_root / "home").string()},
             {"XDG_CONFIG_DIRS", (m_root / "system").string()},
             {"LISTEN_FDS", passed ? std::optional<std::string>{"1"} : std::nullopt},
             {"LISTEN_PID", std::nullopt}});
    }
    std::string writeFile(const fs::path& relative, const std::string& text) const {
        const fs::path file = m_root / relative;
        fs::create_directories(file.parent_path());
        std::ofstream{file, std::ios::binary} << text;
        return file.string();
    }

    fs::path m_root;
};

TEST_F(ServiceStartTest, SystemdSocketActivateStartsItAndItStopsWhenIdle) {
    if (!fs::exists(kSocketActivate)) {
        GTEST_SKIP() << kSocketActivate << " is missing (Debian's systemd package)";
    }
    // A port free a moment ago: systemd-socket-activate binds it itself.
    const int port = ListeningSocket{}.port();
    ChildProcess activator{kSocketActivate,
                           {"-l", "127.0.0.1:" + std::to_string(port), kService, "--no-config",
                            "--corpus", kCorpus, "--idle-exit", kIdleSeconds},
                           serviceEnvironment(false)};
    ASSERT_TRUE(activator.started());
    ASSERT_TRUE(waitFor(kLimit, [&] {
        return activator.errorOutput().find("Listening on") != std::string::npos;
    })) << activator.errorOutput();

    // The first connection makes it exec the service on the socket.
    const auto search = startSearch(port);
    ASSERT_EQ(search->waitExit(kLimit), 0) << search->errorOutput() << activator.errorOutput();
    EXPECT_FALSE(urlsOf(search->output()).empty()) << search->output();

    // The service, in the activator's place, told where the passed socket listens, answered,
    // and then stopped by itself.
    ASSERT_EQ(activator.waitExit(kLimit), 0) << activator.errorOutput();
    EXPECT_NE(activator.output().find(endpointAt(port) + "\n"), std::string::npos)
        << activator.output();
    const std::string log = activator.errorOutput();
    EXPECT_NE(log.find("\"POST /search/beta2\" 200"), std::string::npos) << log;
    EXPECT_NE(log.find("tarvex-service: idle, stopping\n"), std::string::npos) << log;
}

TEST_F(ServiceStartTest, TheSocketStartsANewServiceForAClientAfterAnIdleExit) {
    // The test holds the socket as systemd does and starts the service when a client waits.
    const ListeningSocket socket;
    ASSERT_NE(socket.port(), 0);
    std::vector<std::string> arguments = kAsPassed;
    arguments.insert(arguments.end(),
                     {kService, "--no-config", "--corpus", kCorpus, "--idle-exit", kIdleSeconds});
    for (int instance = 1; instance <= 2; ++instance) {
        SCOPED_TRACE("instance " + std::to_string(instance));
        const auto search = startSearch(socket.port());
        ASSERT_TRUE(socket.clientWaits(kLimit)) << search->errorOutput();
        ChildProcess service{"/bin/sh", arguments, serviceEnvironment(true), socket.fd()};
        ASSERT_EQ(search->waitExit(kLimit), 0) << search->errorOutput() << service.errorOutput();
        EXPECT_FALSE(urlsOf(search->output()).empty()) << search->output();
        ASSERT_EQ(service.waitExit(kLimit), 0) << service.errorOutput();
        EXPECT_NE(service.errorOutput().find("tarvex-service: idle, stopping\n"), std::string::npos)
            << service.errorOutput();
    }
}

TEST_F(ServiceStartTest, AnOpenConnectionKeepsAnIdleExitWaiting) {
    ChildProcess service{
        kService,
        {"--no-config", "--corpus", kCorpus, "--listen", "127.0.0.1:0", "--idle-exit", "1"},
        serviceEnvironment(false)};
    ASSERT_TRUE(waitFor(kLimit, [&] { return service.output().find('\n') != std::string::npos; }))
        << service.errorOutput();
    const std::string endpoint = service.output();
    const int port = std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Past its idle second, but within the 5 s an idle connection is kept: it still serves.
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(service.waitExit(0ms)) << service.errorOutput();
    close(client);
    EXPECT_EQ(service.waitExit(kLimit), 0) << service.errorOutput();
    EXPECT_NE(service.errorOutput().find("tarvex-service: idle, stopping\n"), std::string::npos);
}

TEST_F(ServiceStartTest, APassedSocketThatDoesNotListenIsRefused) {
    const int notListening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::vector<std::string> arguments = kAsPassed;
    arguments.insert(arguments.end(), {kService, "--no-config", "--corpus", kCorpus});
    ChildProcess service{"/bin/sh", arguments, serviceEnvironment(true), notListening};
    close(notListening);
    EXPECT_EQ(service.waitExit(kLimit), 1);
    EXPECT_EQ(service.errorOutput(),
              "tarvex-service: the passed descriptor is not a listening stream socket\n");
}

TEST_F(ServiceStartTest, AWrongLineInTheUsersFileStopsTheStartWithItsNumber) {
    const std::string file =
        writeFile("home/tarvex/service.conf", "# the service\nthreads = many\n");
    ChildProcess service{kService, {"--corpus", kCorpus}, serviceEnvironment(false)};
    EXPECT_EQ(service.waitExit(kLimit), 2);
    EXPECT_EQ(service.errorOutput(),
              "tarvex-service: " + file + ":2: --threads wants a number from 1 to 1024: many\n");
}

TEST_F(ServiceStartTest, TheSystemsFileIsReadAndArgumentsWinOverTheUsers) {
    // The corpus named relative to the system's file, an idle exit that the user's file sets
    // and the arguments shorten: it stops at once, without any client.
    fs::create_directories(m_root / "system/tarvex/data");
    fs::copy_file(kCorpus, m_root / "system/tarvex/data/computing.corpus");
    writeFile("system/tarvex/service.conf", "corpus = data/computing.corpus\nidle-exit = 0\n");
    writeFile("home/tarvex/service.conf", "idle-exit = 600\n");
    ChildProcess service{kService, {"--idle-exit", "1"}, serviceEnvironment(false)};
    ASSERT_EQ(service.waitExit(kLimit), 0) << service.errorOutput();
    const std::string log = service.errorOutput();
    EXPECT_NE(
        log.find(" documents from " + (m_root / "system/tarvex/data/computing.corpus").string()),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("tarvex-service: idle, stopping\n"), std::string::npos) << log;
}

} // namespace
} // namespace tarvex::test
