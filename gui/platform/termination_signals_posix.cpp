#include "gui/platform/termination_signals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::app {
namespace {

// The handler may only write: the byte wakes the window's thread through the socket.
int signalWriteEnd = -1;

void onSignal(int /*number*/) {
    const char byte = 1;
    (void)!::write(signalWriteEnd, &byte, 1);
}

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

} // namespace

struct TerminationSignals::Platform {
    std::array<int, 2> ends{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    std::array<struct sigaction, kSignals.size()> previous{};
};

TerminationSignals::TerminationSignals() : m_platform(std::make_unique<Platform>()) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0,
                     m_platform->ends.data()) != 0) {
        return;
    }
    signalWriteEnd = m_platform->ends[0];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &m_platform->previous[i]);
    }
}

void TerminationSignals::listen(std::function<void()> onRequest) {
    m_onRequest = std::move(onRequest);
    if (m_platform->ends[1] < 0 || m_platform->notifier) {
        return;
    }
    m_platform->notifier =
        std::make_unique<QSocketNotifier>(m_platform->ends[1], QSocketNotifier::Read);
    connect(m_platform->notifier.get(), &QSocketNotifier::activated, this, [this] {
        std::array<char, 16> drained{};
        while (::read(m_platform->ends[1], drained.data(), drained.size()) > 0) {
        }
        if (m_onRequest) {
            m_onRequest();
        }
    });
}

TerminationSignals::~TerminationSignals() {
    if (m_platform->ends[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &m_platform->previous[i], nullptr);
    }
    m_platform->notifier.reset();
    signalWriteEnd = -1;
    ::close(m_platform->ends[0]);
    ::close(m_platform->ends[1]);
}

} // namespace tarvex::app
