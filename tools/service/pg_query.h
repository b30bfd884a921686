#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// A user's query as a PostgreSQL text search condition, read by the same rules as the local
// index (translateQuery), so both match the same documents.
struct PgQuery {
    // A tsquery expression over the placeholders $first, $first+1, ...; empty when nothing can
    // match. Only placeholders and operators: the words travel in `parameters`.
    std::string tsquery;
    std::vector<std::string> parameters;          // one phrase's words each
    std::vector<std::vector<std::string>> wanted; // the phrases to mark, words in lower case
    std::string site;                             // lower-case host, or empty
};

// Throws nothing; a query the rules reject matches nothing.
[[nodiscard]] PgQuery pgQuery(std::string_view query, int firstParameter);

// `text` as valid UTF-8: each byte that starts no valid sequence becomes U+FFFD. The server
// refuses text that is not.
[[nodiscard]] std::string validUtf8(std::string_view text);

} // namespace tarvex::search
