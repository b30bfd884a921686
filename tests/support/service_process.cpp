#include "support/service_process.h"

#include <algorithm>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarvex::test {
namespace {

int decodeStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ServiceProcess::ServiceProcess(const std::string& program,
                               const std::vector<std::string>& arguments) {
    char errorName[] = "/tmp/tarvex-service-err-XXXXXX";
    const int errorFd = mkstemp(errorName);
    m_errorFile = errorName;
    int out[2];
    if (errorFd < 0 || pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    // Tests start the service on their own terms: a developer's configuration file never reaches
    // them unless a test names one.
    static char noConfig[] = "--no-config";
    if (std::none_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
            return argument == "--config" || argument == "--no-config";
        })) {
        argv.push_back(noConfig);
    }
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(errorFd);
    if (spawned != 0) {
        m_pid = -1;
        close(out[0]);
        return;
    }
    // The first line, within 30 s.
    std::string line;
    pollfd wait{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&wait, 1, 30'000) > 0) {
        char buffer[256];
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        line.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    if (const auto end = line.find('\n'); end != std::string::npos) {
        m_endpoint = line.substr(0, end);
    } else {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_exitStatus = decodeStatus(status);
        m_pid = -1;
    }
}

ServiceProcess::~ServiceProcess() {
    if (m_pid > 0) {
        (void)stop();
    }
    std::remove(m_errorFile.c_str());
}

int ServiceProcess::stop() {
    if (m_pid <= 0) {
        return m_exitStatus;
    }
    kill(m_pid, SIGTERM);
    int status = 0;
    // A process that ignores SIGTERM for 20 s is killed.
    for (int i = 0; i < 200; ++i) {
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exitStatus = decodeStatus(status);
            m_pid = -1;
            return m_exitStatus;
        }
        usleep(100'000);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    m_exitStatus = -1;
    return m_exitStatus;
}

std::string ServiceProcess::errorOutput() const {
    std::ifstream in(m_errorFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string rawExchange(const std::string& host, int port, const std::string& request,
                        int timeoutMs) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &address.sin_addr);
    std::string answer;
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return answer;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t put = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (put <= 0) {
            break; // the peer may answer and close before taking everything
        }
        sent += static_cast<std::size_t>(put);
    }
    pollfd wait{fd, POLLIN, 0};
    while (poll(&wait, 1, timeoutMs) > 0) {
        char buffer[4096];
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return answer;
}

} // namespace tarvex::test
