#include "service/query_text.h"

#include "base/ascii_case.h"

#include <algorithm>
#include <vector>

namespace tarvex::search {
namespace {

struct Token {
    std::string_view text;
    bool quoted = false;
};

bool isWordByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z');
}

// The token's words as one FTS5 string ("w1 w2"), or empty when it has none.
std::string phraseOf(std::string_view text) {
    std::string phrase;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !isWordByte(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && isWordByte(text[i])) {
            ++i;
        }
        if (i > start) {
            phrase += phrase.empty() ? "\"" : " ";
            phrase += text.substr(start, i - start);
        }
    }
    return phrase.empty() ? phrase : phrase + "\"";
}

std::vector<Token> tokens(std::string_view query) {
    std::vector<Token> result;
    std::size_t i = 0;
    while (i < query.size()) {
        if (query[i] == ' ' || query[i] == '\t' || query[i] == '\r' || query[i] == '\n') {
            ++i;
            continue;
        }
        // A sign may stand before a quoted phrase: -"a b".
        const std::size_t start = i;
        if ((query[i] == '-' || query[i] == '+') && i + 1 < query.size() && query[i + 1] == '"') {
            ++i;
        }
        if (query[i] == '"') {
            const auto close = query.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? query.size() : close + 1;
            result.push_back({query.substr(start, end - start), true});
            i = end;
            continue;
        }
        const auto end = query.find_first_of(" \t\r\n", i);
        const std::size_t stop = end == std::string_view::npos ? query.size() : end;
        result.push_back({query.substr(start, stop - start), false});
        i = stop;
    }
    return result;
}

} // namespace

IndexQuery translateQuery(std::string_view query) {
    IndexQuery result;
    std::vector<std::vector<std::string>> groups; // AND of ORs
    std::vector<std::string> excluded;
    bool joinNext = false;
    for (const Token& token : tokens(query)) {
        std::string_view text = token.text;
        if (!token.quoted && text == "OR") {
            joinNext = !groups.empty();
            continue;
        }
        bool exclude = false;
        if (text.size() > 1 && (text.front() == '-' || text.front() == '+')) {
            exclude = text.front() == '-';
            text.remove_prefix(1);
        }
        if (!token.quoted && asciiLowered(text.substr(0, 5)) == "site:") {
            result.site = asciiLowered(text.substr(5));
            continue;
        }
        std::string phrase = phraseOf(text);
        if (phrase.empty()) {
            continue;
        }
        result.words += static_cast<std::size_t>(std::count(phrase.begin(), phrase.end(), ' ')) + 1;
        if (exclude) {
            excluded.push_back(std::move(phrase));
        } else if (joinNext) {
            groups.back().push_back(std::move(phrase));
        } else {
            groups.push_back({std::move(phrase)});
        }
        joinNext = false;
    }
    if (groups.empty()) {
        return result;
    }
    for (const auto& group : groups) {
        std::string alternatives;
        for (const std::string& phrase : group) {
            alternatives += (alternatives.empty() ? "" : " OR ") + phrase;
            result.anyWanted += (result.anyWanted.empty() ? "" : " OR ") + phrase;
        }
        result.match += (result.match.empty() ? "(" : " AND (") + alternatives + ")";
    }
    for (const std::string& phrase : excluded) {
        result.match += " NOT " + phrase;
    }
    return result;
}

} // namespace tarvex::search
