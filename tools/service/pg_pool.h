#pragma once

#include "service/pg_connection.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarvex::search {

// A fixed set of database sessions shared by the request threads; a thread borrows one for
// the length of a request and waits while all are out.
class PgPool {
public:
    // Opens `size` sessions (at least one) of `kind` now; throws std::runtime_error when one fails.
    PgPool(const std::string& conninfo, std::size_t size, SessionKind kind = SessionKind::Any);

    class Lease {
    public:
        Lease(PgPool& pool, PgConnection* connection) : m_pool(pool), m_connection(connection) {}
        ~Lease() { m_pool.giveBack(m_connection); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        PgConnection& operator*() const { return *m_connection; }
        PgConnection* operator->() const { return m_connection; }

    private:
        PgPool& m_pool;
        PgConnection* m_connection;
    };

    // A session, reconnected first when the server dropped it.
    [[nodiscard]] Lease acquire();

private:
    void giveBack(PgConnection* connection);

    std::vector<std::unique_ptr<PgConnection>> m_all;
    std::vector<PgConnection*> m_free;
    std::mutex m_mutex;
    std::condition_variable m_returned;
};

} // namespace tarvex::search
