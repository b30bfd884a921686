#pragma once

#include "service/corpus.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvex::search {

inline constexpr const char* kPackageCatalogue = "/var/lib/dpkg/status";
// Corpus and keys files larger than this are refused.
inline constexpr std::size_t kMaxInputFileBytes = std::size_t{512} << 20;

struct LoadedCorpus {
    std::vector<Document> documents;
    std::string source; // where they came from, for the log
};

// Reads a whole file of at most kMaxInputFileBytes; nothing when it cannot.
[[nodiscard]] std::optional<std::string> readInputFile(const std::string& path);

// Documents from `text`: dpkg's status format when its first record has a Package field,
// else the service's corpus format.
[[nodiscard]] std::vector<Document> documentsFrom(std::string_view text);

// The named corpus file (an error when unreadable or empty), else the machine's package
// catalogue, else the built-in corpus.
[[nodiscard]] std::optional<LoadedCorpus> loadCorpus(const std::optional<std::string>& path,
                                                     std::string& error);

} // namespace tarvex::search
