#include "service/rate_limiter.h"

#include <algorithm>
#include <thread>

namespace tarvex::search {

RateLimiter::RateLimiter(int perSecond, std::size_t maxWaiting,
                         std::function<Clock::time_point()> now, Sleep sleepUntil)
    : m_spacing(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds{1}) /
                std::max(perSecond, 1)),
      m_maxWaiting(maxWaiting), m_now(std::move(now)),
      m_sleepUntil(sleepUntil ? std::move(sleepUntil) : Sleep{[](Clock::time_point until) {
          std::this_thread::sleep_until(until);
      }}) {}

RateLimiter::Outcome RateLimiter::take(Clock::time_point deadline) {
    Clock::time_point slot;
    {
        const std::lock_guard lock{m_lock};
        const Clock::time_point now = m_now();
        slot = std::max(now, m_next);
        if (slot > now) {
            if (m_waiting >= m_maxWaiting) {
                return Outcome::TooManyWaiting;
            }
            if (slot >= deadline) {
                return Outcome::WaitTooLong;
            }
            ++m_waiting;
        }
        m_next = slot + m_spacing;
        if (slot == now) {
            return Outcome::Go;
        }
    }
    m_sleepUntil(slot);
    const std::lock_guard lock{m_lock};
    --m_waiting;
    return Outcome::Go;
}

} // namespace tarvex::search
