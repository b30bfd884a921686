#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace tarvex::app {

// Turns the requests to end the program that the system sends (SIGTERM, SIGINT and SIGHUP on
// POSIX: a log-out, a kill, a closed terminal) into a call on the window's thread, so the window
// closes as its close box closes it and its cache is saved. One per process.
//
// Made before anything else of the start-up, so that a request during it is never the default
// ending (status 143 and no save): it waits until listen() is called, on a thread with an
// event loop, and reaches `onRequest` once that loop runs.
class TerminationSignals final : public QObject {
public:
    TerminationSignals();
    void listen(std::function<void()> onRequest);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    struct Platform;
    std::unique_ptr<Platform> m_platform;
    std::function<void()> m_onRequest;
};

} // namespace tarvex::app
