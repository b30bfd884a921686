#pragma once

#include <atomic>

namespace tarvex::http {

// Where a client notes how its last exchange (or handshake) went, `None` until then; read after a
// call, possibly on another thread than the one that made it.
template <class Outcome>
class LastNote {
public:
    void note(Outcome outcome) { m_last.store(outcome); }
    [[nodiscard]] Outcome last() const { return m_last.load(); }

private:
    std::atomic<Outcome> m_last{Outcome::None};
};

} // namespace tarvex::http
