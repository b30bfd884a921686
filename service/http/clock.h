#pragma once

#include <chrono>

namespace tarvex::http {

// The time an exchange has taken is read from this; tests give their own. Its moments are on the
// steady clock's scale, since the socket waits are measured against that.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    [[nodiscard]] virtual TimePoint now() const = 0;
};

class SteadyClock final : public Clock {
public:
    [[nodiscard]] TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

// The one steady clock; it holds no state, so all clients may share it.
[[nodiscard]] inline const Clock& steadyClock() {
    static const SteadyClock clock;
    return clock;
}

} // namespace tarvex::http
