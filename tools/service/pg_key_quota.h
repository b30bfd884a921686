#pragma once

#include "service/pg_pool.h"
#include "service/quota_store.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::search {

// The daily quota in a PostgreSQL database, shared by every service on it: each search is one
// atomic upsert, so two services never both let a key's last search through. Writes go to a
// server that takes them (target_session_attrs=read-write).
class PgKeyQuota final : public QuotaStore {
public:
    // Throws std::runtime_error when the database cannot be reached or the table made.
    PgKeyQuota(const std::string& conninfo, std::int64_t perDay, std::size_t connections);

    // BackendError ("database unavailable: ...") when no server answers.
    [[nodiscard]] bool take(std::string_view key, std::int64_t day) override;

private:
    PgPool m_pool;
    std::int64_t m_perDay;
    std::atomic<std::int64_t> m_cleanedBefore{0};
};

} // namespace tarvex::search
