#include "service/corpus.h"

#include "base/ascii_case.h"
#include "service/stanza_reader.h"

#include <algorithm>

namespace tarvex::search {
namespace {

bool isYes(std::string_view text) {
    const std::string folded = asciiLowered(text);
    return folded == "yes" || folded == "true" || folded == "1";
}

} // namespace

std::vector<Document> readCorpus(std::string_view text, CorpusReport* report) {
    CorpusReport counts;
    std::vector<Document> documents;
    for (const Stanza& stanza : readStanzas(text, &counts.badLines)) {
        Document document{
            std::string{stanza.value("URL")},      std::string{stanza.value("Title")},
            std::string{stanza.value("Summary")},  std::string{stanza.value("Body")},
            std::string{stanza.value("Category")}, std::string{stanza.value("Directory-Title")},
            isYes(stanza.value("Adult"))};
        if (document.url.empty() || document.title.empty()) {
            ++counts.skippedRecords;
            continue;
        }
        documents.push_back(std::move(document));
    }
    if (report != nullptr) {
        *report = counts;
    }
    return documents;
}

std::vector<Document> readPackageCatalogue(std::string_view text, CorpusReport* report) {
    CorpusReport counts;
    std::vector<Document> documents;
    for (const Stanza& stanza : readStanzas(text, &counts.badLines)) {
        const std::string_view name = stanza.value("Package");
        const std::string_view status = stanza.value("Status");
        const bool installed = status.size() >= 9 &&
                               status.substr(status.size() - 9) == "installed" &&
                               status.find("not-installed") == std::string_view::npos;
        if (name.empty() || !installed) {
            ++counts.skippedRecords;
            continue;
        }
        const std::string_view description = stanza.value("Description");
        const auto lineEnd = description.find('\n');
        const std::string_view shortText = description.substr(0, lineEnd);
        const std::string_view longText = lineEnd == std::string_view::npos
                                              ? std::string_view{}
                                              : description.substr(lineEnd + 1);
        std::string url{stanza.value("Homepage")};
        if (hostOf(url).empty()) {
            url = "https://packages.debian.org/" + std::string{name};
        }
        documents.push_back(
            Document{std::move(url),
                     shortText.empty() ? std::string{name}
                                       : std::string{name} + " - " + std::string{shortText},
                     std::string{shortText}, std::string{longText.empty() ? shortText : longText},
                     std::string{stanza.value("Section")}, std::string{name}, false});
    }
    if (report != nullptr) {
        *report = counts;
    }
    return documents;
}

std::string hostOf(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    const std::string schemeName = asciiLowered(url.substr(0, scheme));
    if (schemeName != "http" && schemeName != "https" && schemeName != "ftp") {
        return {};
    }
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        rest = rest.substr(at + 1);
    }
    if (!rest.empty() && rest.front() == '[') {
        rest = rest.substr(0, rest.find(']') + 1); // an IPv6 literal keeps its brackets
    } else {
        rest = rest.substr(0, rest.find(':'));
    }
    return asciiLowered(rest);
}

} // namespace tarvex::search
