#include "service/corpus_source.h"

#include "service/stanza_reader.h"

#include <fstream>
#include <iterator>

namespace tarvex::search {

std::optional<std::string> readInputFile(const std::string& path) {
    std::ifstream file{path, std::ios::binary};
    if (!file) {
        return std::nullopt;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > kMaxInputFileBytes) {
        return std::nullopt;
    }
    file.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file.read(text.data(), size)) {
        return std::nullopt;
    }
    return text;
}

std::vector<Document> documentsFrom(std::string_view text) {
    // Only the first record decides, so look at the text up to its end.
    const auto firstEnd = text.find("\n\n");
    const std::vector<Stanza> first = readStanzas(text.substr(0, firstEnd));
    if (!first.empty() && first.front().has("Package")) {
        return readPackageCatalogue(text);
    }
    return readCorpus(text);
}

std::optional<LoadedCorpus> loadCorpus(const std::optional<std::string>& path, std::string& error) {
    if (path) {
        const auto text = readInputFile(*path);
        if (!text) {
            error = "cannot read the corpus file " + *path;
            return std::nullopt;
        }
        LoadedCorpus corpus{documentsFrom(*text), *path};
        if (corpus.documents.empty()) {
            error = "the corpus file " + *path + " holds no documents";
            return std::nullopt;
        }
        return corpus;
    }
    if (const auto text = readInputFile(kPackageCatalogue)) {
        LoadedCorpus corpus{readPackageCatalogue(*text), kPackageCatalogue};
        if (!corpus.documents.empty()) {
            return corpus;
        }
    }
    return LoadedCorpus{readCorpus(bundledCorpusText()), "the built-in corpus"};
}

} // namespace tarvex::search
