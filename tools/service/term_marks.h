#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tarvex::search {

// A title and a text to be shown with the query's words marked.
struct MarkedPair {
    std::string title;
    std::string text;
};

// Marks the words of a query in texts that came from elsewhere (an upstream engine), splitting
// words as the index does, so its marks match the index's own to the letter. Everything else is
// escaped: markup in the texts stays text. One marker serves one thread at a time.
class TermMarker {
public:
    TermMarker();
    ~TermMarker();
    TermMarker(const TermMarker&) = delete;
    TermMarker& operator=(const TermMarker&) = delete;

    // Each pair as HTML, the query's words in <b>...</b>. Throws std::runtime_error when SQLite
    // fails.
    [[nodiscard]] std::vector<MarkedPair> mark(std::string_view query,
                                               const std::vector<MarkedPair>& plain);

private:
    struct Db;
    std::unique_ptr<Db> m_db;
};

} // namespace tarvex::search
