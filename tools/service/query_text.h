#pragma once

#include <string>
#include <string_view>

namespace tarvex::search {

// A user's query in the index's terms.
struct IndexQuery {
    std::string match; // an FTS5 MATCH expression; empty when nothing can match
    std::string site;  // lower-case host that results must be on (or below), or empty
    // Any of the wanted words and phrases: what to mark in a text that need not hold them all.
    std::string anyWanted;
    std::size_t words = 0; // every word of every phrase, wanted or excluded
};

// Reads the query language users of the service knew: words (all must appear), "quoted
// phrases", OR between two alternatives, -word or -"phrase" to exclude, +word as a plain word
// and site:host. Each word is reduced to its letters and digits, so no user text reaches the
// index's own query syntax. A query with only exclusions matches nothing.
[[nodiscard]] IndexQuery translateQuery(std::string_view query);

} // namespace tarvex::search
