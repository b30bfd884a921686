#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// One searchable document. `body` is the stored text that doGetCachedPage returns.
struct Document {
    std::string url;
    std::string title;
    std::string summary;
    std::string body;
    std::string category;
    std::string directoryTitle;
    bool adult = false;
};

struct CorpusReport {
    std::size_t badLines = 0;
    std::size_t skippedRecords = 0; // records without a URL or a title
};

// The service's corpus file: control-style records with the fields URL, Title, Summary, Body,
// Category, Directory-Title and Adult ("yes" or "no"). URL and Title are required.
[[nodiscard]] std::vector<Document> readCorpus(std::string_view text,
                                               CorpusReport* report = nullptr);

// The machine's package catalogue (dpkg's status file): each installed package becomes a
// document titled "name - short description", with the long description as its body, its
// Homepage (else its page in the Debian archive) as URL and its Section as category.
[[nodiscard]] std::vector<Document> readPackageCatalogue(std::string_view text,
                                                         CorpusReport* report = nullptr);

// The host part of an http, https or ftp address, lower-cased; empty for anything else.
[[nodiscard]] std::string hostOf(std::string_view url);

// The small corpus built into the service, used when no other corpus can be read.
[[nodiscard]] std::string_view bundledCorpusText();

} // namespace tarvex::search
