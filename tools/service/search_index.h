#pragma once

#include "service/corpus.h"
#include "service/reader_pool.h"
#include "service/spelling.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvex::search {

struct SearchRequest {
    std::string_view query;
    std::int32_t start = 0; // 0-based offset of the first result wanted
    std::int32_t maxResults = 10;
    bool filter = true;      // at most two results per host
    bool safeSearch = false; // leave out documents marked adult
};

struct SearchHit {
    const Document* document = nullptr;
    std::string titleHtml;   // HTML, the query terms in <b>...</b>
    std::string snippetHtml; // the same, from the body
    std::string hostName;    // on the second result of a host whose further results were folded
};

struct SearchPage {
    std::int32_t total = 0; // results after safe search and folding, all pages together
    bool filtered = false;  // folding removed at least one result
    std::vector<SearchHit> hits;
    std::vector<std::string> categories; // the commonest categories among all results
};

// The full-text index of a corpus. It lives in a temporary SQLite file that is unlinked once
// every reader has it open, so nothing is left behind. Searches may run on many threads.
class SearchIndex {
public:
    // Throws std::runtime_error when the index cannot be built.
    SearchIndex(std::vector<Document> documents, std::size_t readers);

    [[nodiscard]] SearchPage search(const SearchRequest& request) const;
    [[nodiscard]] const Document* findByUrl(std::string_view url) const;
    [[nodiscard]] const SpellingDictionary& spelling() const { return *m_spelling; }
    [[nodiscard]] std::size_t size() const { return m_documents.size(); }

private:
    [[nodiscard]] std::vector<std::int64_t> rankedMatches(IndexReader& reader,
                                                          const std::string& match) const;
    // Fills the title and snippet of every hit in one query.
    void markTerms(IndexReader& reader, const std::string& match,
                   std::vector<SearchHit>& hits) const;

    std::vector<Document> m_documents; // rowid n is m_documents[n - 1]
    std::vector<std::string> m_hosts;
    std::unordered_map<std::string_view, std::size_t> m_byUrl;
    std::unique_ptr<SpellingDictionary> m_spelling;
    std::unique_ptr<ReaderPool> m_readers;
};

// Escapes text for HTML and turns the marks 0x01 and 0x02 into <b> and </b>; line breaks
// become blanks.
[[nodiscard]] std::string markedHtml(std::string_view marked);

} // namespace tarvex::search
