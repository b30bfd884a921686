#include "service/pg_pool.h"

#include <algorithm>

namespace tarvex::search {

PgPool::PgPool(const std::string& conninfo, std::size_t size, SessionKind kind) {
    const std::size_t count = std::max<std::size_t>(size, 1);
    m_all.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        m_all.push_back(std::make_unique<PgConnection>(conninfo, kind));
        m_free.push_back(m_all.back().get());
    }
}

PgPool::Lease PgPool::acquire() {
    PgConnection* connection = nullptr;
    {
        std::unique_lock lock{m_mutex};
        m_returned.wait(lock, [this] { return !m_free.empty(); });
        connection = m_free.back();
        m_free.pop_back();
    }
    if (!connection->healthy()) {
        connection->reset(); // a failure shows in the statement that follows
    }
    return Lease{*this, connection};
}

void PgPool::giveBack(PgConnection* connection) {
    {
        const std::lock_guard lock{m_mutex};
        m_free.push_back(connection);
    }
    m_returned.notify_one();
}

} // namespace tarvex::search
