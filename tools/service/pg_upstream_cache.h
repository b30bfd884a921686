#pragma once

#include "service/answer_cache.h"
#include "service/pg_pool.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tarvex::search {

// The answer cache in a PostgreSQL database, shared by every service on it: an answer one
// service fetched spares the others the engine's rate, and a page of a result any of them gave
// out may be served by any. Reads and writes go to a server that takes writes, so a service
// finds what it has just kept.
class PgUpstreamCache final : public AnswerCache {
public:
    // Throws std::runtime_error when the database cannot be reached or the tables made.
    PgUpstreamCache(const std::string& conninfo, std::chrono::seconds timeToLive,
                    std::size_t connections, Now now = {},
                    std::int64_t maxBytes = kDefaultMaxBytes);

    [[nodiscard]] std::optional<std::string> answer(const std::string& url) override;
    void keepAnswer(const std::string& url, const std::string& body) override;

    void noteReturned(const std::vector<std::string>& urls) override;
    [[nodiscard]] bool returned(const std::string& url) override;

private:
    [[nodiscard]] std::int64_t oldestKept() const;
    // Forgets what is past its time, then the oldest answers past the bound; one service at a
    // time, the others skip it.
    void sweep(PgConnection& connection);

    PgPool m_pool;
    std::chrono::seconds m_timeToLive;
    Now m_now;
    std::int64_t m_maxBytes;
    std::atomic<unsigned> m_writesSinceSweep{0};
    std::atomic<std::int64_t> m_bytesSinceSweep{0};
};

} // namespace tarvex::search
