#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvex::test {

// A program run as a child process that prints an address on its first line of output (the
// local search service). Its standard error goes to a file the test can read.
class ServiceProcess {
public:
    // Starts `program` with `arguments` (and --no-config, unless they name --config or
    // --no-config) and waits up to 30 s for its first line. When the
    // program exits first, endpoint() is empty and exitStatus() tells why.
    ServiceProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    [[nodiscard]] const std::string& endpoint() const { return m_endpoint; }
    // Sends SIGTERM and waits for the exit; returns the exit code, or -1 after a signal.
    int stop();
    [[nodiscard]] int exitStatus() const { return m_exitStatus; }
    [[nodiscard]] std::string errorOutput() const;

private:
    pid_t m_pid = -1;
    int m_exitStatus = -1;
    std::string m_endpoint;
    std::string m_errorFile;
};

// Sends `request` as is to host:port and returns everything read until the peer closes or
// `timeoutMs` passes without data.
[[nodiscard]] std::string rawExchange(const std::string& host, int port, const std::string& request,
                                      int timeoutMs = 5000);

} // namespace tarvex::test
