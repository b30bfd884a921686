#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace tarvex::app {

// Turns the requests to end the program that the system sends (SIGTERM, SIGINT and SIGHUP on
// POSIX: a log-out, a kill, a closed terminal) into a call on the window's thread, so the window
// closes as its close box closes it and its cache is saved. One per process.
class TerminationSignals final : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onRequest);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    struct Platform;
    std::unique_ptr<Platform> m_platform;
    std::function<void()> m_onRequest;
};

} // namespace tarvex::app
