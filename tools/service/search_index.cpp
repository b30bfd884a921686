#include "service/search_index.h"

#include "service/host_folding.h"
#include "service/html_text.h"
#include "service/index_file.h"
#include "service/query_text.h"
#include "service/ranked_window.h"

#include <algorithm>
#include <cstdio>

namespace tarvex::search {
namespace {

bool onSite(const std::string& host, const std::string& site) {
    return host == site || (host.size() > site.size() &&
                            host.compare(host.size() - site.size(), site.size(), site) == 0 &&
                            host[host.size() - site.size() - 1] == '.');
}

} // namespace

SearchIndex::SearchIndex(std::vector<Document> documents, std::size_t readers)
    : m_documents(std::move(documents)) {
    // The index marks query terms with the bytes 0x01 and 0x02; a corpus that holds them (or
    // any other control byte) would make marks of its own.
    for (Document& document : m_documents) {
        for (std::string* field : {&document.title, &document.summary, &document.body,
                                   &document.category, &document.directoryTitle}) {
            for (char& c : *field) {
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                    c = ' ';
                }
            }
        }
    }
    std::vector<IndexTerm> terms;
    const std::string path = writeIndexFile(m_documents, terms);
    try {
        m_readers =
            std::make_unique<ReaderPool>(immutableUri(path), std::max<std::size_t>(readers, 1));
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
    std::remove(path.c_str()); // every reader holds it open
    m_spelling = std::make_unique<SpellingDictionary>(std::move(terms));
    m_hosts.reserve(m_documents.size());
    for (const Document& document : m_documents) {
        m_hosts.push_back(hostOf(document.url));
        m_byUrl.emplace(document.url, m_hosts.size() - 1); // the first of equal URLs wins
    }
}

const Document* SearchIndex::findByUrl(std::string_view url) const {
    const auto found = m_byUrl.find(url);
    return found == m_byUrl.end() ? nullptr : &m_documents[found->second];
}

std::string SearchIndex::cachedPage(std::string_view url) {
    const Document* document = findByUrl(url);
    return document != nullptr ? document->body : std::string{};
}

std::vector<std::int64_t> SearchIndex::rankedMatches(IndexReader& reader,
                                                     const std::string& match) const {
    sqlite3_stmt* statement = reader.matches.get();
    sqlite3_reset(statement);
    bindText(reader.db.get(), statement, 1, match);
    std::vector<std::int64_t> ids;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        ids.push_back(sqlite3_column_int64(statement, 0));
    }
    check(reader.db.get(), status, "search the index");
    return ids;
}

void SearchIndex::markTerms(IndexReader& reader, const std::string& match,
                            const std::vector<std::int64_t>& ids,
                            std::vector<SearchHit>& hits) const {
    if (hits.empty()) {
        return;
    }
    std::string idList = "[";
    for (const std::int64_t id : ids) {
        idList += std::to_string(id);
        idList += ',';
    }
    idList.back() = ']';
    sqlite3_stmt* statement = reader.marked.get();
    sqlite3_reset(statement);
    bindText(reader.db.get(), statement, 1, match);
    bindText(reader.db.get(), statement, 2, idList);
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(statement, 0);
        for (std::size_t i = 0; i < hits.size(); ++i) {
            if (ids[i] == id) {
                hits[i].titleHtml = markedHtml(columnText(statement, 1));
                hits[i].snippetHtml = markedHtml(columnText(statement, 2));
            }
        }
    }
    check(reader.db.get(), status, "mark the query terms");
}

SearchPage SearchIndex::search(const SearchRequest& request) const {
    SearchPage page;
    const IndexQuery query = translateQuery(request.query);
    if (query.match.empty()) {
        return page;
    }
    const auto reader = m_readers->acquire();
    const std::vector<std::int64_t> ranked = rankedMatches(*reader, query.match);

    // Safe search and the site first, then folding; the page is cut from what is left.
    std::vector<RankedMatch> matches;
    for (const std::int64_t id : ranked) {
        const auto index = static_cast<std::size_t>(id - 1);
        if (index >= m_documents.size()) {
            continue;
        }
        const Document& document = m_documents[index];
        const std::string& host = m_hosts[index];
        if ((request.safeSearch && document.adult) ||
            (!query.site.empty() && !onSite(host, query.site))) {
            continue;
        }
        matches.push_back({id, host, document.category});
    }
    std::vector<std::int64_t> pageIds;
    for (ShownMatch& shown : rankedWindow(matches, request, page)) {
        const Document& document = m_documents[static_cast<std::size_t>(shown.id - 1)];
        SearchHit& hit = shown.hit;
        hit.url = document.url;
        hit.summary = document.summary;
        hit.category = document.category;
        hit.directoryTitle = document.directoryTitle;
        hit.cachedSize = cachedSizeText(document.body.size());
        hit.titleHtml = markedHtml(document.title); // until the terms are marked
        page.hits.push_back(std::move(hit));
        pageIds.push_back(shown.id);
    }
    markTerms(*reader, query.match, pageIds, page.hits);
    return page;
}

} // namespace tarvex::search
