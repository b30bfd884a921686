#include "service/pg_pool.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tarvex::search {
namespace {

std::vector<std::unique_ptr<PgConnection>> openSessions(const std::string& conninfo,
                                                        std::size_t size, SessionKind kind) {
    std::vector<std::unique_ptr<PgConnection>> sessions;
    const std::size_t count = std::max<std::size_t>(size, 1);
    sessions.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        sessions.push_back(std::make_unique<PgConnection>(conninfo, kind));
        sessions.back()->setAnswerTimeout(PgConnection::kRequestAnswerTimeout);
    }
    return sessions;
}

} // namespace

PgPool::PgPool(const std::string& conninfo, std::size_t size, SessionKind kind)
    : m_sessions(openSessions(conninfo, size, kind)) {}

PgPool::Lease PgPool::acquire() {
    Lease session = m_sessions.acquire();
    if (!session->healthy()) {
        session->reset(); // a failure shows in the statement that follows
    }
    return session;
}

} // namespace tarvex::search
