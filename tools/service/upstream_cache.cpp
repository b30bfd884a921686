#include "service/upstream_cache.h"

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

namespace tarvex::search {
namespace {

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
    "CREATE TABLE IF NOT EXISTS answers(url TEXT PRIMARY KEY, fetched INTEGER NOT NULL,"
    " body BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS returned(url TEXT PRIMARY KEY, at INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS answers_fetched ON answers(fetched);"
    "CREATE INDEX IF NOT EXISTS returned_at ON returned(at);";

// Expired rows are swept after this many new answers.
constexpr unsigned kSweepEvery = 64;
// Another process may hold the file for a moment.
constexpr int kBusyTimeoutMs = 2000;

} // namespace

UpstreamCache::UpstreamCache(const std::string& path, std::chrono::seconds timeToLive, Now now,
                             std::int64_t maxBytes)
    : m_timeToLive(timeToLive), m_now(now ? std::move(now) : Now{unixSeconds}),
      m_maxBytes(maxBytes) {
    m_db = openDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(m_db.get(), kBusyTimeoutMs);
    execute(m_db.get(), kSchema);
    m_answer = prepare(m_db.get(), "SELECT body FROM answers WHERE url = ?1 AND fetched >= ?2");
    m_keepAnswer = prepare(m_db.get(),
                           "INSERT OR REPLACE INTO answers(url, fetched, body) VALUES(?1, ?2, ?3)");
    m_returned = prepare(m_db.get(), "SELECT 1 FROM returned WHERE url = ?1 AND at >= ?2");
    m_noteReturned = prepare(m_db.get(), "INSERT OR REPLACE INTO returned(url, at) VALUES(?1, ?2)");
    // A service that keeps nothing leaves alone what the others sharing the file kept.
    if (m_timeToLive.count() > 0) {
        sweep();
    }
}

std::int64_t UpstreamCache::oldestKept() const {
    return m_now() - m_timeToLive.count();
}

std::optional<std::string> UpstreamCache::answer(const std::string& url) {
    const std::lock_guard lock{m_lock};
    sqlite3_stmt* statement = m_answer.get();
    sqlite3_reset(statement);
    bindText(m_db.get(), statement, 1, url);
    check(m_db.get(), sqlite3_bind_int64(statement, 2, oldestKept()), "bind a time");
    const int status = sqlite3_step(statement);
    if (status == SQLITE_ROW) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
        std::string body(bytes == nullptr ? "" : bytes,
                         static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
        sqlite3_reset(statement);
        return body;
    }
    check(m_db.get(), status == SQLITE_DONE ? SQLITE_OK : status, "read a kept answer");
    return std::nullopt;
}

void UpstreamCache::keepAnswer(const std::string& url, const std::string& body) {
    if (m_timeToLive.count() <= 0) {
        return;
    }
    const std::lock_guard lock{m_lock};
    sqlite3_stmt* statement = m_keepAnswer.get();
    sqlite3_reset(statement);
    bindText(m_db.get(), statement, 1, url);
    check(m_db.get(), sqlite3_bind_int64(statement, 2, m_now()), "bind a time");
    check(m_db.get(), sqlite3_bind_blob64(statement, 3, body.data(), body.size(), SQLITE_TRANSIENT),
          "bind an answer");
    check(m_db.get(), sqlite3_step(statement), "keep an answer");
    m_bytesSinceSweep += static_cast<std::int64_t>(body.size());
    if (++m_keptSinceSweep >= kSweepEvery || m_bytesSinceSweep > m_maxBytes / 8) {
        sweep();
    }
}

void UpstreamCache::noteReturned(const std::vector<std::string>& urls) {
    if (urls.empty() || m_timeToLive.count() <= 0) {
        return;
    }
    const std::lock_guard lock{m_lock};
    execute(m_db.get(), "BEGIN");
    try {
        for (const std::string& url : urls) {
            sqlite3_stmt* statement = m_noteReturned.get();
            sqlite3_reset(statement);
            bindText(m_db.get(), statement, 1, url);
            check(m_db.get(), sqlite3_bind_int64(statement, 2, m_now()), "bind a time");
            check(m_db.get(), sqlite3_step(statement), "note a returned address");
        }
        execute(m_db.get(), "COMMIT");
    } catch (...) {
        sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (++m_notedSinceSweep >= kSweepEvery) {
        sweep();
    }
}

bool UpstreamCache::returned(const std::string& url) {
    const std::lock_guard lock{m_lock};
    sqlite3_stmt* statement = m_returned.get();
    sqlite3_reset(statement);
    bindText(m_db.get(), statement, 1, url);
    check(m_db.get(), sqlite3_bind_int64(statement, 2, oldestKept()), "bind a time");
    const int status = sqlite3_step(statement);
    sqlite3_reset(statement);
    check(m_db.get(), status == SQLITE_ROW || status == SQLITE_DONE ? SQLITE_OK : status,
          "look up a returned address");
    return status == SQLITE_ROW;
}

void UpstreamCache::sweep() {
    m_keptSinceSweep = 0;
    m_notedSinceSweep = 0;
    m_bytesSinceSweep = 0;
    const std::string cut = std::to_string(oldestKept());
    execute(m_db.get(), ("DELETE FROM answers WHERE fetched < " + cut +
                         "; DELETE FROM returned WHERE at < " + cut +
                         "; DELETE FROM returned WHERE url IN (SELECT url FROM returned ORDER BY at"
                         " DESC LIMIT -1 OFFSET " +
                         std::to_string(kMaxReturned) + ")")
                            .c_str());
    // Oldest first, until what is kept fits.
    const Statement size =
        prepare(m_db.get(), "SELECT COALESCE(SUM(length(body)), 0) FROM answers");
    const Statement oldest = prepare(
        m_db.get(), "SELECT url, length(body) FROM answers ORDER BY fetched, url LIMIT 256");
    const Statement forget = prepare(m_db.get(), "DELETE FROM answers WHERE url = ?1");
    check(m_db.get(), sqlite3_step(size.get()), "measure the kept answers");
    std::int64_t kept = sqlite3_column_int64(size.get(), 0);
    while (kept > m_maxBytes) {
        std::vector<std::pair<std::string, std::int64_t>> victims;
        sqlite3_reset(oldest.get());
        while (sqlite3_step(oldest.get()) == SQLITE_ROW) {
            victims.emplace_back(columnText(oldest.get(), 0),
                                 sqlite3_column_int64(oldest.get(), 1));
        }
        if (victims.empty()) {
            break;
        }
        for (const auto& [url, bytes] : victims) {
            if (kept <= m_maxBytes) {
                break;
            }
            sqlite3_reset(forget.get());
            bindText(m_db.get(), forget.get(), 1, url);
            check(m_db.get(), sqlite3_step(forget.get()), "forget an old answer");
            kept -= bytes;
        }
    }
}

std::string UpstreamCache::defaultPath() {
    std::filesystem::path folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache == '/') {
        folder = cache;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        folder = std::filesystem::path{home} / ".cache";
    } else {
        return ":memory:";
    }
    folder /= "tarvex";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return error ? ":memory:" : (folder / "service.sqlite").string();
}

} // namespace tarvex::search
