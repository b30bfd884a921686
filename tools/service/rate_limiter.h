#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>

namespace tarvex::search {

// Spaces requests to an upstream at most `perSecond` a second. A caller takes the next free
// moment and waits for it; nobody waits past their deadline, and no more than `maxWaiting`
// callers wait at once, so a burst is refused at once instead of piling up.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;
    using Sleep = std::function<void(Clock::time_point)>;

    RateLimiter(int perSecond, std::size_t maxWaiting,
                std::function<Clock::time_point()> now = Clock::now, Sleep sleepUntil = {});

    enum class Outcome { Go, TooManyWaiting, WaitTooLong };

    // Waits for this caller's moment; anything but Go means the caller must not send, and has
    // not used up a moment.
    [[nodiscard]] Outcome take(Clock::time_point deadline);

private:
    Clock::duration m_spacing;
    std::size_t m_maxWaiting;
    std::function<Clock::time_point()> m_now;
    Sleep m_sleepUntil;
    std::mutex m_lock;
    Clock::time_point m_next{};
    std::size_t m_waiting = 0;
};

} // namespace tarvex::search
