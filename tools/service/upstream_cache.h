#pragma once

#include "service/answer_cache.h"
#include "service/sqlite_db.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::search {

// The answer cache in a SQLite file; several processes on one machine may share the file.
class UpstreamCache final : public AnswerCache {
public:
    // ":memory:" keeps nothing across runs. Throws std::runtime_error when the file cannot be
    // opened or set up.
    UpstreamCache(const std::string& path, std::chrono::seconds timeToLive, Now now = {},
                  std::int64_t maxBytes = kDefaultMaxBytes);

    [[nodiscard]] std::optional<std::string> answer(const std::string& url) override;
    void keepAnswer(const std::string& url, const std::string& body) override;

    void noteReturned(const std::vector<std::string>& urls) override;
    [[nodiscard]] bool returned(const std::string& url) override;

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
