#pragma once

#include "service/sqlite_db.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::search {

// Upstream answers by the address they were fetched from, and the addresses of results the
// service gave out, each kept for the time to live in a SQLite file. Safe to use from many
// threads at once; several processes may share the file.
class UpstreamCache {
public:
    // Seconds since 1970 by default; tests pass their own clock.
    using Now = std::function<std::int64_t()>;

    // Answers kept at most, in bytes: past it the oldest go first.
    static constexpr std::int64_t kDefaultMaxBytes = std::int64_t{256} << 20;
    // Returned addresses kept at most: past it the oldest go first.
    static constexpr std::int64_t kMaxReturned = 100000;

    // ":memory:" keeps nothing across runs. Throws std::runtime_error when the file cannot be
    // opened or set up.
    UpstreamCache(const std::string& path, std::chrono::seconds timeToLive, Now now = {},
                  std::int64_t maxBytes = kDefaultMaxBytes);

    [[nodiscard]] std::optional<std::string> answer(const std::string& url);
    void keepAnswer(const std::string& url, const std::string& body);

    void noteReturned(const std::vector<std::string>& urls);
    [[nodiscard]] bool returned(const std::string& url);

    // The default file: $XDG_CACHE_HOME/tarvex/service.sqlite (~/.cache without it).
    [[nodiscard]] static std::string defaultPath();

private:
    [[nodiscard]] std::int64_t oldestKept() const;
    // Forgets what is past its time, then the oldest answers while they are over the bound.
    void sweep();

    std::chrono::seconds m_timeToLive;
    Now m_now;
    std::int64_t m_maxBytes;
    std::mutex m_lock;
    Database m_db;
    Statement m_answer;
    Statement m_keepAnswer;
    Statement m_returned;
    Statement m_noteReturned;
    unsigned m_keptSinceSweep = 0;
    unsigned m_notedSinceSweep = 0;
    std::int64_t m_bytesSinceSweep = 0;
};

} // namespace tarvex::search
