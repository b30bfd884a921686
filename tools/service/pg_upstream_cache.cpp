#include "service/pg_upstream_cache.h"

#include "service/pg_bytes.h"
#include "service/pg_schema.h"

#include <array>
#include <string>
#include <utility>

namespace tarvex::search {
namespace {

// Addresses are kept by the SHA-256 of their bytes: an index entry holds under 3 kB, and an
// address may be longer, hold a zero byte or be no UTF-8, as the file cache takes it.
constexpr std::array<const char*, 4> kSchema{
    "CREATE TABLE IF NOT EXISTS upstream_answers (key bytea PRIMARY KEY, fetched bigint NOT NULL, "
    "body bytea NOT NULL)",
    "CREATE INDEX IF NOT EXISTS upstream_answers_fetched ON upstream_answers (fetched)",
    "CREATE TABLE IF NOT EXISTS upstream_returned (key bytea PRIMARY KEY, at bigint NOT NULL)",
    "CREATE INDEX IF NOT EXISTS upstream_returned_at ON upstream_returned (at)"};

// Expired rows are swept after this many writes of a service.
constexpr unsigned kSweepEvery = 64;
// One sweep at a time over all services (an advisory lock's key).
constexpr const char* kSweepLock = "7461727665780003";

} // namespace

PgUpstreamCache::PgUpstreamCache(const std::string& conninfo, std::chrono::seconds timeToLive,
                                 std::size_t connections, Now now, std::int64_t maxBytes)
    : m_pool(conninfo, connections, SessionKind::ReadWrite), m_timeToLive(timeToLive),
      m_now(now ? std::move(now) : Now{unixSeconds}), m_maxBytes(maxBytes) {
    // The tables are made on a session without the requests' time bound: another service may
    // hold the schema lock for a while.
    PgConnection schema{conninfo, SessionKind::ReadWrite};
    createSchema(schema, kSchema);
    // A service that keeps nothing leaves alone what the others kept.
    if (m_timeToLive.count() > 0) {
        sweep(schema);
    }
}

std::int64_t PgUpstreamCache::oldestKept() const {
    return m_now() - m_timeToLive.count();
}

std::optional<std::string> PgUpstreamCache::answer(const std::string& url) {
    const auto connection = m_pool.acquire();
    const PgResult kept = connection->execute(
        "SELECT body FROM upstream_answers WHERE key = sha256(decode($1, 'hex')) AND fetched >= $2",
        {pgHex(url), std::to_string(oldestKept())});
    if (PQntuples(kept.get()) == 0) {
        return std::nullopt;
    }
    return pgBytes(pgText(kept.get(), 0, 0));
}

void PgUpstreamCache::keepAnswer(const std::string& url, const std::string& body) {
    if (m_timeToLive.count() <= 0) {
        return;
    }
    const auto connection = m_pool.acquire();
    connection->execute("INSERT INTO upstream_answers (key, fetched, body) "
                        "VALUES (sha256(decode($1, 'hex')), $2, decode($3, 'hex')) "
                        "ON CONFLICT (key) DO UPDATE "
                        "SET fetched = excluded.fetched, body = excluded.body",
                        {pgHex(url), std::to_string(m_now()), pgHex(body)});
    const std::int64_t bytes = m_bytesSinceSweep.fetch_add(static_cast<std::int64_t>(body.size())) +
                               static_cast<std::int64_t>(body.size());
    if (m_writesSinceSweep.fetch_add(1) + 1 >= kSweepEvery || bytes > m_maxBytes / 8) {
        sweep(*connection);
    }
}

void PgUpstreamCache::noteReturned(const std::vector<std::string>& urls) {
    if (urls.empty() || m_timeToLive.count() <= 0) {
        return;
    }
    // All addresses as one array of hex texts, however many: a statement takes at most 65535
    // parameters. One row per address (a statement may not update a row twice), in key order,
    // so that services noting the same addresses at once lock them in the same order.
    std::string array = "{";
    for (const std::string& url : urls) {
        array += (array.size() > 1 ? ",\"" : "\"") + pgHex(url) + "\"";
    }
    array += "}";
    const auto connection = m_pool.acquire();
    connection->execute("INSERT INTO upstream_returned (key, at) SELECT DISTINCT "
                        "sha256(decode(url, 'hex')), $1::bigint FROM unnest($2::text[]) AS url "
                        "ORDER BY 1 ON CONFLICT (key) DO UPDATE SET at = excluded.at",
                        {std::to_string(m_now()), array});
    if (m_writesSinceSweep.fetch_add(1) + 1 >= kSweepEvery) {
        sweep(*connection);
    }
}

bool PgUpstreamCache::returned(const std::string& url) {
    const auto connection = m_pool.acquire();
    const PgResult found = connection->execute(
        "SELECT 1 FROM upstream_returned WHERE key = sha256(decode($1, 'hex')) AND at >= $2",
        {pgHex(url), std::to_string(oldestKept())});
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
            connection.execute("DELETE FROM upstream_returned WHERE key IN (SELECT key FROM "
                               "upstream_returned ORDER BY at DESC OFFSET $1)",
                               {std::to_string(kMaxReturned)});
            // The newest answers that fit in the bound stay.
            connection.execute(
                "DELETE FROM upstream_answers WHERE key IN (SELECT key FROM (SELECT key, "
                "sum(octet_length(body)) OVER (ORDER BY fetched DESC, key DESC) AS kept "
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
