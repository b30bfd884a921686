#pragma once

#include "service/corpus.h"
#include "service/spelling.h"

#include <string>
#include <vector>

namespace tarvex::search {

// How the index splits text into words; whatever marks query words in text must split alike.
inline constexpr const char* kIndexTokenizer = "unicode61 remove_diacritics 2";

// Writes the FTS5 index of `documents` (rowid n for documents[n - 1]) to a new temporary file
// and returns its path; `terms` receives every indexed word with its document count.
// Throws std::runtime_error on failure, leaving no file behind.
[[nodiscard]] std::string writeIndexFile(const std::vector<Document>& documents,
                                         std::vector<IndexTerm>& terms);

// A read-only URI for the finished file: nothing will change it while it is open.
[[nodiscard]] std::string immutableUri(const std::string& path);

} // namespace tarvex::search
