#include "service/pg_index.h"

#include "base/ascii_case.h"
#include "service/host_folding.h"
#include "service/html_text.h"
#include "service/pg_bytes.h"
#include "service/pg_query.h"
#include "service/pg_schema.h"
#include "service/ranked_window.h"
#include "service/snippet_window.h"
#include "service/spelling.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tarvex::search {
namespace {

// How many of the commonest categories a result page names, as the local index does.
// Words the service suggests a spelling for are capped as the local dictionary caps them.
// Nearest words by trigrams that are measured by edit distance for one suggestion.
constexpr int kSpellingCandidates = 64;
// Serialises loads of several processes sharing the database (an advisory lock's key).
constexpr const char* kLoadLock = "7461727665780001";

// Words are what the local index takes for words: runs of ASCII letters and digits and of
// characters past ASCII; everything else separates them, whatever the server's locale.
// The title weighs most, then the summary, then the body. A text search vector holds at most
// 1 MB, so only the start of a very long body is searched.
constexpr std::array<const char*, 6> kSchema{
    R"sql(CREATE EXTENSION IF NOT EXISTS pg_trgm)sql",
    R"sql(CREATE TABLE IF NOT EXISTS documents (
    id bigint PRIMARY KEY,
    url text NOT NULL UNIQUE,
    host text NOT NULL,
    title text NOT NULL,
    summary text NOT NULL,
    body text NOT NULL,
    category text NOT NULL,
    directory_title text NOT NULL,
    adult boolean NOT NULL,
    terms tsvector GENERATED ALWAYS AS (
        setweight(to_tsvector('simple',
            regexp_replace(title, '[^0-9A-Za-z\u0080-\U0010FFFF]+', ' ', 'g')), 'A') ||
        setweight(to_tsvector('simple',
            regexp_replace(summary, '[^0-9A-Za-z\u0080-\U0010FFFF]+', ' ', 'g')), 'B') ||
        setweight(to_tsvector('simple',
            regexp_replace(left(body, 262144), '[^0-9A-Za-z\u0080-\U0010FFFF]+', ' ', 'g')), 'D')
    ) STORED
))sql",
    R"sql(CREATE INDEX IF NOT EXISTS documents_terms ON documents USING gin (terms))sql",
    R"sql(CREATE TABLE IF NOT EXISTS corpus_loads (
    digest text PRIMARY KEY,
    documents bigint NOT NULL,
    loaded_at timestamptz NOT NULL DEFAULT now()
))sql",
    R"sql(CREATE TABLE IF NOT EXISTS words (
    word text PRIMARY KEY,
    documents bigint NOT NULL
))sql",
    R"sql(CREATE INDEX IF NOT EXISTS words_trigrams ON words USING gist (word gist_trgm_ops))sql"};

// Ranks weigh the classes D, C, B, A: body, unused, summary, title.
constexpr const char* kRankWeights = "'{0.1, 0.2, 0.4, 1.0}'";

// The text as the local index keeps it: control bytes other than line breaks and tabs would
// read as its marks; and as the server keeps it: valid UTF-8.
std::string stored(std::string_view text) {
    std::string result = validUtf8(text);
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            c = ' ';
        }
    }
    return result;
}

Document storedDocument(const Document& document) {
    return Document{
        stored(document.url),  stored(document.title),    stored(document.summary),
        stored(document.body), stored(document.category), stored(document.directoryTitle),
        document.adult};
}

class Digest {
public:
    Digest() : m_context(EVP_MD_CTX_new()) {
        if (m_context == nullptr || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(m_context);
            throw std::runtime_error("cannot compute the corpus digest");
        }
    }
    ~Digest() { EVP_MD_CTX_free(m_context); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    // Each field with its length first, so no two corpora give the same stream.
    void add(std::string_view field) {
        const std::string length = std::to_string(field.size()) + ":";
        EVP_DigestUpdate(m_context, length.data(), length.size());
        EVP_DigestUpdate(m_context, field.data(), field.size());
    }
    [[nodiscard]] std::string hex() {
        unsigned char bytes[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(m_context, bytes, &size);
        // Lower case, as the digests already in databases are written.
        return asciiLowered(pgHex({reinterpret_cast<const char*>(bytes), size}));
    }

private:
    EVP_MD_CTX* m_context;
};

std::string digestOf(const std::vector<Document>& documents) {
    Digest digest;
    for (const Document& document : documents) {
        for (const std::string* field :
             {&document.url, &document.title, &document.summary, &document.body, &document.category,
              &document.directoryTitle}) {
            digest.add(*field);
        }
        digest.add(document.adult ? "1" : "0");
    }
    return digest.hex();
}

std::int64_t integer(const PGresult* result, int row, int column) {
    return std::stoll(std::string{pgText(result, row, column)});
}

} // namespace

PgIndex::PgIndex(const std::string& conninfo, std::size_t connections)
    : m_conninfo(conninfo), m_pool(conninfo, connections, SessionKind::PreferStandby) {
    // The tables are made on the primary; searches read from a standby where there is one.
    const auto connection = std::make_unique<PgConnection>(m_conninfo, SessionKind::ReadWrite);
    createSchema(*connection, kSchema);
}

bool PgIndex::load(const std::vector<Document>& documents) {
    std::vector<Document> kept;
    kept.reserve(documents.size());
    for (const Document& document : documents) {
        kept.push_back(storedDocument(document));
    }
    const std::string digest = digestOf(kept);
    const auto connection = std::make_unique<PgConnection>(m_conninfo, SessionKind::ReadWrite);
    connection->execute("BEGIN");
    try {
        connection->execute("SELECT pg_advisory_xact_lock(" + std::string{kLoadLock} + ")");
        const PgResult loaded =
            connection->execute("SELECT 1 FROM corpus_loads WHERE digest = $1", {digest});
        if (PQntuples(loaded.get()) > 0) {
            connection->execute("COMMIT");
            return false;
        }
        connection->execute("DELETE FROM documents");
        connection->execute("DELETE FROM corpus_loads");
        connection->execute("DELETE FROM words");
        // The first of equal addresses wins, as it does for the local index's stored pages.
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const Document& document = kept[i];
            connection->execute(
                "INSERT INTO documents(id, url, host, title, summary, body, category,"
                " directory_title, adult) VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9)"
                " ON CONFLICT (url) DO NOTHING",
                {std::to_string(i + 1), document.url, hostOf(document.url), document.title,
                 document.summary, document.body, document.category, document.directoryTitle,
                 document.adult ? "true" : "false"});
        }
        connection->execute("INSERT INTO words(word, documents)"
                            " SELECT word, ndoc FROM ts_stat('SELECT terms FROM documents')");
        connection->execute("INSERT INTO corpus_loads(digest, documents) VALUES($1, $2)",
                            {digest, std::to_string(kept.size())});
        connection->execute("COMMIT");
    } catch (...) {
        rollBack(*connection);
        throw;
    }
    return true;
}

std::vector<PgIndex::Match> PgIndex::rankedMatches(PgConnection& connection,
                                                   const SearchRequest& request,
                                                   std::vector<std::vector<std::string>>& wanted) {
    PgQuery query = pgQuery(request.query, 1);
    if (query.tsquery.empty()) {
        return {};
    }
    wanted = std::move(query.wanted);
    std::vector<std::string> parameters = std::move(query.parameters);
    std::string sql =
        "SELECT id, host, category FROM documents WHERE terms @@ (" + query.tsquery + ")";
    if (request.safeSearch) {
        sql += " AND NOT adult";
    }
    if (!query.site.empty()) {
        parameters.push_back(query.site);
        const std::string site = "$" + std::to_string(parameters.size()) + "::text";
        sql += " AND (host = " + site + " OR right(host, length(" + site + ") + 1) = '.' || " +
               site + ")";
    }
    sql += " ORDER BY ts_rank_cd(" + std::string{kRankWeights} + ", terms, (" + query.tsquery +
           ")) DESC, id";
    const PgResult result = connection.execute(sql, parameters);
    std::vector<Match> matches;
    const int rows = PQntuples(result.get());
    matches.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        matches.push_back({integer(result.get(), row, 0), std::string{pgText(result.get(), row, 1)},
                           std::string{pgText(result.get(), row, 2)}});
    }
    return matches;
}

void PgIndex::fillHits(PgConnection& connection, std::string_view query,
                       const std::vector<std::vector<std::string>>& wanted,
                       const std::vector<std::int64_t>& ids, std::vector<SearchHit>& hits) {
    if (ids.empty()) {
        return;
    }
    std::string idList = "{";
    for (const std::int64_t id : ids) {
        idList += std::to_string(id) + ",";
    }
    idList.back() = '}';
    const PgResult result = connection.execute(
        "SELECT id, url, title, summary, body, category, directory_title FROM documents"
        " WHERE id = ANY($1::bigint[])",
        {idList});
    std::vector<MarkedPair> plain(ids.size());
    std::vector<SnippetWindow> windows(ids.size());
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const auto at = std::find(ids.begin(), ids.end(), integer(result.get(), row, 0));
        if (at == ids.end()) {
            continue;
        }
        const auto i = static_cast<std::size_t>(at - ids.begin());
        const std::string_view body = pgText(result.get(), row, 4);
        SearchHit& hit = hits[i];
        hit.url = pgText(result.get(), row, 1);
        hit.summary = pgText(result.get(), row, 3);
        hit.category = pgText(result.get(), row, 5);
        hit.directoryTitle = pgText(result.get(), row, 6);
        hit.cachedSize = cachedSizeText(body.size());
        windows[i] = SnippetWindow::choose(body, wanted);
        plain[i] = {std::string{pgText(result.get(), row, 2)},
                    std::string{body.substr(windows[i].begin, windows[i].end - windows[i].begin)}};
    }
    std::vector<MarkedPair> marked;
    {
        const std::lock_guard lock{m_markerMutex};
        marked = m_marker.mark(query, plain);
    }
    // The local index shows the marked ellipsis x'012e2e2e02' where the window cuts the body.
    static constexpr std::string_view kEllipsis = "<b>...</b>";
    for (std::size_t i = 0; i < hits.size() && i < marked.size(); ++i) {
        hits[i].titleHtml = std::move(marked[i].title);
        hits[i].snippetHtml = (windows[i].cutBefore ? std::string{kEllipsis} : std::string{}) +
                              marked[i].text +
                              (windows[i].cutAfter ? std::string{kEllipsis} : std::string{});
    }
}

SearchPage PgIndex::search(const SearchRequest& request) {
    SearchPage page;
    const auto connection = m_pool.acquire();
    std::vector<std::vector<std::string>> wanted;
    const std::vector<Match> ranked = rankedMatches(*connection, request, wanted);

    // Safe search and the site were the query's; folding and the page are the window's.
    std::vector<RankedMatch> matches;
    matches.reserve(ranked.size());
    for (const Match& match : ranked) {
        matches.push_back({match.id, match.host, match.category});
    }
    std::vector<std::int64_t> pageIds;
    for (ShownMatch& shown : rankedWindow(matches, request, page)) {
        page.hits.push_back(std::move(shown.hit));
        pageIds.push_back(shown.id);
    }
    fillHits(*connection, request.query, wanted, pageIds, page.hits);
    return page;
}

std::string PgIndex::suggest(std::string_view phrase) {
    const auto connection = m_pool.acquire();
    return respelled(phrase, [&connection](const std::string& word) -> std::optional<std::string> {
        // The server cannot take such a word as text, so the index holds none like it.
        if (validUtf8(word) != word || word.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        // Known words stay; an unknown one becomes the nearest of the words most like it.
        const std::size_t limit = word.size() <= 4 ? 1 : 2;
        const PgResult candidates = connection->execute(
            "SELECT word, documents FROM (SELECT word, documents FROM words"
            " WHERE octet_length(word) BETWEEN $2 AND $3 ORDER BY word <-> $1 LIMIT $4) near"
            " ORDER BY word COLLATE \"C\"",
            {word, std::to_string(word.size() > limit ? word.size() - limit : 0),
             std::to_string(word.size() + limit), std::to_string(kSpellingCandidates)});
        std::vector<IndexTerm> terms;
        terms.reserve(static_cast<std::size_t>(PQntuples(candidates.get())));
        for (int row = 0; row < PQntuples(candidates.get()); ++row) {
            terms.push_back(
                {std::string{pgText(candidates.get(), row, 0)}, integer(candidates.get(), row, 1)});
        }
        std::string better = SpellingDictionary{std::move(terms)}.suggest(word);
        if (better.empty()) {
            return std::nullopt;
        }
        return better;
    });
}

std::string PgIndex::cachedPage(std::string_view url) {
    // Stored addresses hold no zero byte; the server would cut the text there and find another.
    if (url.find('\0') != std::string_view::npos) {
        return {};
    }
    const auto connection = m_pool.acquire();
    const PgResult result =
        connection->execute("SELECT body FROM documents WHERE url = $1", {validUtf8(url)});
    return PQntuples(result.get()) > 0 ? std::string{pgText(result.get(), 0, 0)} : std::string{};
}

} // namespace tarvex::search
