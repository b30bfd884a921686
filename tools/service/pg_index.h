#pragma once

#include "service/corpus.h"
#include "service/pg_pool.h"
#include "service/search_backend.h"
#include "service/term_marks.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// The full-text index of a corpus kept in a PostgreSQL database, for a service whose index
// outlives its process or is shared by several. It answers as the local index does: the same
// query rules, the same documents found, the same words marked. Searches may run on many
// threads, each on a session of its own from the pool.
class PgIndex final : public SearchBackend {
public:
    // Connects `connections` sessions (at least one) with the libpq connection string
    // `conninfo` and creates the tables it needs when they are missing. Throws
    // std::runtime_error with the server's message when it cannot.
    PgIndex(const std::string& conninfo, std::size_t connections);

    // Makes `documents` the indexed corpus. A corpus that is already the loaded one (the same
    // documents in the same order) changes nothing; returns whether anything was written.
    // Throws std::runtime_error, leaving the previous corpus in place.
    bool load(const std::vector<Document>& documents);

    [[nodiscard]] SearchPage search(const SearchRequest& request) override;
    [[nodiscard]] std::string suggest(std::string_view phrase) override;
    // The stored body of a document; empty for an address the index does not hold.
    [[nodiscard]] std::string cachedPage(std::string_view url) override;

private:
    struct Match {
        std::int64_t id;
        std::string host;
        std::string category;
    };

    [[nodiscard]] std::vector<Match> rankedMatches(PgConnection& connection,
                                                   const SearchRequest& request,
                                                   std::vector<std::vector<std::string>>& wanted);
    void fillHits(PgConnection& connection, std::string_view query,
                  const std::vector<std::vector<std::string>>& wanted,
                  const std::vector<std::int64_t>& ids, std::vector<SearchHit>& hits);

    std::string m_conninfo;
    PgPool m_pool; // sessions for reading
    std::mutex m_markerMutex;
    TermMarker m_marker;
};

} // namespace tarvex::search
