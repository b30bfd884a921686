#pragma once

#include "service/lease_pool.h"
#include "service/pg_connection.h"

#include <cstddef>
#include <string>

namespace tarvex::search {

// The database sessions shared by the request threads; a statement's answer takes at most
// PgConnection::kRequestAnswerTimeout.
class PgPool {
public:
    using Lease = LeasePool<PgConnection>::Lease;

    // Opens `size` sessions (at least one) of `kind` now; throws std::runtime_error when one fails.
    PgPool(const std::string& conninfo, std::size_t size, SessionKind kind = SessionKind::Any);

    // A session, reconnected first when the server dropped it.
    [[nodiscard]] Lease acquire();

private:
    LeasePool<PgConnection> m_sessions;
};

} // namespace tarvex::search
