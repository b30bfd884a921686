#pragma once

#include "service/corpus.h"
#include "service/reader_pool.h"
#include "service/search_backend.h"
#include "service/spelling.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarvex::search {

// The full-text index of a corpus. It lives in a temporary SQLite file that is unlinked once
// every reader has it open, so nothing is left behind. Searches may run on many threads.
class SearchIndex final : public SearchBackend {
public:
    // Throws std::runtime_error when the index cannot be built.
    SearchIndex(std::vector<Document> documents, std::size_t readers);

    [[nodiscard]] SearchPage search(const SearchRequest& request) const;
    [[nodiscard]] SearchPage search(const SearchRequest& request) override {
        return std::as_const(*this).search(request);
    }
    [[nodiscard]] std::string suggest(std::string_view phrase) override {
        return m_spelling->suggest(phrase);
    }
    // The stored body of a document; empty for an address the index does not hold.
    [[nodiscard]] std::string cachedPage(std::string_view url) override;
    [[nodiscard]] const Document* findByUrl(std::string_view url) const;
    [[nodiscard]] const SpellingDictionary& spelling() const { return *m_spelling; }
    [[nodiscard]] std::size_t size() const { return m_documents.size(); }

private:
    [[nodiscard]] std::vector<std::int64_t> rankedMatches(IndexReader& reader,
                                                          const std::string& match) const;
    // Fills the title and snippet of every hit in one query.
    void markTerms(IndexReader& reader, const std::string& match,
                   const std::vector<std::int64_t>& ids, std::vector<SearchHit>& hits) const;

    std::vector<Document> m_documents; // rowid n is m_documents[n - 1]
    std::vector<std::string> m_hosts;
    std::unordered_map<std::string_view, std::size_t> m_byUrl;
    std::unique_ptr<SpellingDictionary> m_spelling;
    std::unique_ptr<ReaderPool> m_readers;
};

} // namespace tarvex::search
