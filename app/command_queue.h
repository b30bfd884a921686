#pragma once

#include "app/search_view.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace tarvex::app {

// A poster for programs without a window: commands wait in a queue until the loop that stands
// for the window's message loop takes them.
class CommandQueue final : public CommandPoster {
public:
    void post(int command) override {
        const std::lock_guard lock{m_lock};
        m_commands.push_back(command);
        m_signal.notify_all();
    }

    // The next command; false when none came within `timeout`.
    bool next(int& command, std::chrono::milliseconds timeout) {
        std::unique_lock lock{m_lock};
        if (!m_signal.wait_for(lock, timeout, [this] { return !m_commands.empty(); })) {
            return false;
        }
        command = m_commands.front();
        m_commands.pop_front();
        return true;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_signal;
    std::deque<int> m_commands;
};

} // namespace tarvex::app
