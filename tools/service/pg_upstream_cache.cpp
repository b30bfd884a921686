#include "service/pg_upstream_cache.h"

#include "service/pg_bytes.h"
#include "service/pg_query.h"
#include "service/pg_schema.h"

#include <algorithm>
#include <array>
#include <memory>
#include <set>

namespace tarvex::search {
namespace {

constexpr std::array<const char*, 4> kSchema{
    "CREATE TABLE IF NOT EXISTS upstream_answers (url text PRIMARY KEY, fetched bigint NOT NULL, "
    "body bytea NOT NULL)",
    "CREATE INDEX IF NOT EXISTS upstream_answers_fetched ON upstream_answers (fetched)",
    "CREATE TABLE IF NOT EXISTS upstream_returned (url text PRIMARY KEY, at bigint NOT NULL)",
    "CREATE INDEX IF NOT EXISTS upstream_returned_at ON upstream_returned (at)"};

// Expired rows are swept after this many writes of a service.
constexpr unsigned kSweepEvery = 64;
// One sweep at a time over all services (an advisory lock's key).
constexpr const char* kSweepLock = "7461727665780003";

std::int64_t unixSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Text parameters end at a zero byte and must be valid UTF-8: an address that is neither is
// never kept, so it is never found either.
bool storable(const std::string& url) {
    return url.find('\0') == std::string::npos && validUtf8(url) == url;
}

} // namespace

PgUpstreamCache::PgUpstreamCache(const std::string& conninfo, std::chrono::seconds timeToLive,
                                 std::size_t connections, Now now, std::int64_t maxBytes)
    : m_pool(conninfo, connections, SessionKind::ReadWrite), m_timeToLive(timeToLive),
      m_now(now ? std::move(now) : Now{unixSeconds}), m_maxBytes(maxBytes) {
    const auto connection = m_pool.acquire();
    createSchema(*connection, kSchema);
    // A service that keeps nothing leaves alone what the others kept.
    if (m_timeToLive.count() > 0) {
        sweep(*connection);
    }
}

std::int64_t PgUpstreamCache::oldestKept() const {
    return m_now() - m_timeToLive.count();
}

std::optional<std::string> PgUpstreamCache::answer(const std::string& url) {
    if (!storable(url)) {
        return std::nullopt;
    }
    const auto connection = m_pool.acquire();
    const PgResult kept =
        connection->execute("SELECT body FROM upstream_answers WHERE url = $1 AND fetched >= $2",
                            {url, std::to_string(oldestKept())});
    if (PQntuples(kept.get()) == 0) {
        return std::nullopt;
    }
    return pgBytes(pgText(kept.get(), 0, 0));
}

void PgUpstreamCache::keepAnswer(const std::string& url, const std::string& body) {
    if (m_timeToLive.count() <= 0 || !storable(url)) {
        return;
    }
    const auto connection = m_pool.acquire();
    connection->execute("INSERT INTO upstream_answers (url, fetched, body) "
                        "VALUES ($1, $2, decode($3, 'hex')) ON CONFLICT (url) DO UPDATE "
                        "SET fetched = excluded.fetched, body = excluded.body",
                        {url, std::to_string(m_now()), pgHex(body)});
    const std::int64_t bytes = m_bytesSinceSweep.fetch_add(static_cast<std::int64_t>(body.size())) +
                               static_cast<std::int64_t>(body.size());
    if (m_writesSinceSweep.fetch_add(1) + 1 >= kSweepEvery || bytes > m_maxBytes / 8) {
        sweep(*connection);
    }
}

void PgUpstreamCache::noteReturned(const std::vector<std::string>& urls) {
    if (m_timeToLive.count() <= 0) {
        return;
    }
    // One row per address: a statement may not update a row twice.
    std::set<std::string> distinct;
    for (const std::string& url : urls) {
        if (storable(url)) {
            distinct.insert(url);
        }
    }
    if (distinct.empty()) {
        return;
    }
    std::vector<std::string> parameters{std::to_string(m_now())};
    std::string sql = "INSERT INTO upstream_returned (url, at) VALUES ";
    for (const std::string& url : distinct) {
        parameters.push_back(url);
        sql +=
            (parameters.size() > 2 ? ", ($" : "($") + std::to_string(parameters.size()) + ", $1)";
    }
    sql += " ON CONFLICT (url) DO UPDATE SET at = excluded.at";
    const auto connection = m_pool.acquire();
    connection->execute(sql, parameters);
    if (m_writesSinceSweep.fetch_add(1) + 1 >= kSweepEvery) {
        sweep(*connection);
    }
}

bool PgUpstreamCache::returned(const std::string& url) {
    if (!storable(url)) {
        return false;
    }
    const auto connection = m_pool.acquire();
    const PgResult found =
        connection->execute("SELECT 1 FROM upstream_returned WHERE url = $1 AND at >= $2",
                            {url, std::to_string(oldestKept())});
    return PQntuples(found.get()) > 0;
}

void PgUpstreamCache::sweep(PgConnection& connection) {
    m_writesSinceSweep = 0;
    m_bytesSinceSweep = 0;
    connection.execute("BEGIN");
    try {
        const PgResult mine =
            connection.execute(std::string{"SELECT pg_try_advisory_xact_lock("} + kSweepLock + ")");
        if (pgText(mine.get(), 0, 0) == "t") {
            const std::string cut = std::to_string(oldestKept());
            connection.execute("DELETE FROM upstream_answers WHERE fetched < $1", {cut});
            connection.execute("DELETE FROM upstream_returned WHERE at < $1", {cut});
            connection.execute("DELETE FROM upstream_returned WHERE url IN (SELECT url FROM "
                               "upstream_returned ORDER BY at DESC OFFSET $1)",
                               {std::to_string(kMaxReturned)});
            // The newest answers that fit in the bound stay.
            connection.execute(
                "DELETE FROM upstream_answers WHERE url IN (SELECT url FROM (SELECT url, "
                "sum(octet_length(body)) OVER (ORDER BY fetched DESC, url DESC) AS kept "
                "FROM upstream_answers) AS newest WHERE kept > $1)",
                {std::to_string(m_maxBytes)});
        }
        connection.execute("COMMIT");
    } catch (...) {
        rollBack(connection);
        throw;
    }
}

} // namespace tarvex::search
