#pragma once

#include "app/search_view.h"

#include <QEvent>

#include <mutex>

class QObject;

namespace tarvex::app {

// A command delivered through the window's event queue.
class CommandEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 1);
    explicit CommandEvent(int command) : QEvent(kType), m_command(command) {}
    [[nodiscard]] int command() const { return m_command; }

private:
    int m_command;
};

// Posts commands to a window from any thread. The window detaches it before it goes: a command
// posted after that is dropped, and one posted before is removed with the window's queue.
class PostedCommands final : public CommandPoster {
public:
    explicit PostedCommands(QObject* target) : m_target(target) {}
    void post(int command) override;
    void detach();

private:
    std::mutex m_lock;
    QObject* m_target;
};

} // namespace tarvex::app
