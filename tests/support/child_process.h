#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tarvex::test {

// This process's environment with `changes` made: a name mapped to nothing is removed.
[[nodiscard]] std::vector<std::string>
environmentWith(const std::map<std::string, std::optional<std::string>>& changes);

// A program run as a child with the environment given and, when `passedSocket` is not -1, that
// descriptor as its descriptor 3 (where a service manager puts the first socket it passes).
// Standard output and standard error go to files the test can read.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, int passedSocket = -1);
    // Kills the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return m_pid > 0 || m_exitCode; }
    // Whether the child, still running, has its own handler for `number` (a program that handles
    // a signal installs that handler as one of its first steps).
    [[nodiscard]] bool catches(int number) const;
    // The exit code (-1 after a signal) once the child has ended within `limit`; nothing while it
    // still runs.
    [[nodiscard]] std::optional<int> waitExit(std::chrono::milliseconds limit);
    // Sends `number` to the child while it runs; false once it has ended.
    bool signal(int number);
    [[nodiscard]] std::string output() const;
    [[nodiscard]] std::string errorOutput() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_exitCode;
    std::string m_outputFile;
    std::string m_errorFile;
};

// Waits up to `limit` until `condition` holds, looking every 20 ms.
template <class Condition>
[[nodiscard]] bool waitFor(std::chrono::milliseconds limit, Condition condition) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{20});
    }
    return true;
}

} // namespace tarvex::test
