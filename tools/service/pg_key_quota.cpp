#include "service/pg_key_quota.h"

#include "service/pg_bytes.h"
#include "service/pg_schema.h"

#include <array>

namespace tarvex::search {
namespace {

// Keys are kept as the SHA-256 of the bytes the request carried, whatever and however long
// they are: an index entry holds under 3 kB.
constexpr std::array<const char*, 1> kSchema{
    "CREATE TABLE IF NOT EXISTS key_quota (day bigint NOT NULL, key bytea NOT NULL, "
    "used bigint NOT NULL, PRIMARY KEY (day, key))"};

} // namespace

PgKeyQuota::PgKeyQuota(const std::string& conninfo, std::int64_t perDay, std::size_t connections)
    : m_pool(conninfo, connections, SessionKind::ReadWrite), m_perDay(perDay) {
    // The table is made on a session without the requests' time bound: another service may
    // hold the schema lock for a while.
    PgConnection schema{conninfo, SessionKind::ReadWrite};
    createSchema(schema, kSchema);
}

bool PgKeyQuota::take(std::string_view key, std::int64_t day) {
    if (m_perDay <= 0) {
        return true;
    }
    const auto connection = m_pool.acquire();
    // Yesterday's counts are of no more use; one service a day clears them.
    if (std::int64_t cleaned = m_cleanedBefore.load();
        cleaned < day && m_cleanedBefore.compare_exchange_strong(cleaned, day)) {
        static_cast<void>(
            connection->execute("DELETE FROM key_quota WHERE day < $1", {std::to_string(day)}));
    }
    // A key's first search inserts its row; later ones count up while under the limit. No row
    // comes back once the limit is reached.
    const PgResult counted = connection->execute(
        "INSERT INTO key_quota AS q (day, key, used) VALUES ($1, sha256(decode($2, 'hex')), 1) "
        "ON CONFLICT (day, key) DO UPDATE SET used = q.used + 1 "
        "WHERE q.used < $3 RETURNING used",
        {std::to_string(day), pgHex(key), std::to_string(m_perDay)});
    return PQntuples(counted.get()) == 1;
}

} // namespace tarvex::search
