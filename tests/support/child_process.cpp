#include "support/child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarvex::test {
namespace {

std::string temporaryFile(const char* pattern) {
    std::string name = std::string{"/tmp/"} + pattern + "-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return name;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int decodeStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::vector<std::string>
environmentWith(const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text{*entry};
        if (changes.count(text.substr(0, text.find('='))) == 0) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            result.push_back(name + "=" + *value);
        }
    }
    return result;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, int passedSocket)
    : m_outputFile(temporaryFile("tarvex-child-out")),
      m_errorFile(temporaryFile("tarvex-child-err")) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outputFile.c_str(), O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errorFile.c_str(), O_WRONLY, 0);
    if (passedSocket >= 0) {
        // Onto itself too: posix_spawn's dup2 then clears close-on-exec.
        posix_spawn_file_actions_adddup2(&actions, passedSocket, 3);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    std::remove(m_outputFile.c_str());
    std::remove(m_errorFile.c_str());
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds limit) {
    if (m_pid > 0) {
        int status = 0;
        if (waitFor(limit, [&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; })) {
            m_exitCode = decodeStatus(status);
            m_pid = -1;
        }
    }
    return m_exitCode;
}

bool ChildProcess::catches(int number) const {
    std::ifstream status{"/proc/" + std::to_string(m_pid) + "/status"};
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return ((mask >> (number - 1)) & 1U) != 0;
        }
    }
    return false;
}

bool ChildProcess::signal(int number) {
    return m_pid > 0 && kill(m_pid, number) == 0;
}

std::string ChildProcess::output() const {
    return readAll(m_outputFile);
}

std::string ChildProcess::errorOutput() const {
    return readAll(m_errorFile);
}

} // namespace tarvex::test
