#include "service/pg_query.h"

#include "service/query_text.h"

namespace tarvex::search {
namespace {

// translateQuery writes a condition of quoted phrases of letters and digits, parentheses and
// the words AND, OR and NOT; nothing else can appear in it.
struct Piece {
    enum class Kind { Open, Close, Phrase, And, Or, Not };
    Kind kind;
    std::string text; // the phrase's words, for a phrase
};

std::vector<Piece> pieces(const std::string& match) {
    std::vector<Piece> result;
    std::size_t i = 0;
    while (i < match.size()) {
        const char c = match[i];
        if (c == ' ') {
            ++i;
        } else if (c == '(' || c == ')') {
            result.push_back({c == '(' ? Piece::Kind::Open : Piece::Kind::Close, {}});
            ++i;
        } else if (c == '"') {
            const auto close = match.find('"', i + 1);
            const std::size_t end = close == std::string::npos ? match.size() : close;
            result.push_back({Piece::Kind::Phrase, match.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else {
            const auto end = std::min(match.find(' ', i), match.size());
            const std::string word = match.substr(i, end - i);
            result.push_back({word == "OR"    ? Piece::Kind::Or
                              : word == "NOT" ? Piece::Kind::Not
                                              : Piece::Kind::And,
                              {}});
            i = end;
        }
    }
    return result;
}

std::vector<std::string> lowerWords(const std::string& phrase) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < phrase.size()) {
        const auto end = std::min(phrase.find(' ', i), phrase.size());
        if (end > i) {
            std::string word = phrase.substr(i, end - i);
            for (char& c : word) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            words.push_back(std::move(word));
        }
        i = end + 1;
    }
    return words;
}

std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

bool validSequence(std::string_view text, std::size_t at, std::size_t length) {
    if (at + length > text.size()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    const auto second = static_cast<unsigned char>(text[at + 1]);
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            result += text[i++];
            continue;
        }
        const std::size_t length = sequenceLength(byte);
        if (length > 0 && validSequence(text, i, length)) {
            result.append(text.substr(i, length));
            i += length;
        } else {
            result += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return result;
}

PgQuery pgQuery(std::string_view query, int firstParameter) {
    const IndexQuery translated = translateQuery(query);
    PgQuery result;
    // A host with a zero byte is no host the index holds (and the server would cut the text
    // there, filtering on another host): nothing matches.
    if (translated.match.empty() || translated.site.find('\0') != std::string::npos) {
        return result;
    }
    result.site = validUtf8(translated.site);
    bool negate = false;
    for (const Piece& piece : pieces(translated.match)) {
        switch (piece.kind) {
        case Piece::Kind::Open:
            result.tsquery += "(";
            break;
        case Piece::Kind::Close:
            result.tsquery += ")";
            break;
        case Piece::Kind::And:
            result.tsquery += " && ";
            break;
        case Piece::Kind::Or:
            result.tsquery += " || ";
            break;
        case Piece::Kind::Not:
            result.tsquery += " && !!(";
            negate = true;
            break;
        case Piece::Kind::Phrase: {
            const std::string phrase = validUtf8(piece.text);
            const int number = firstParameter + static_cast<int>(result.parameters.size());
            result.tsquery += "phraseto_tsquery('simple', $" + std::to_string(number) + ")";
            result.parameters.push_back(phrase);
            if (negate) {
                result.tsquery += ")";
            } else {
                result.wanted.push_back(lowerWords(phrase));
            }
            negate = false;
            break;
        }
        }
    }
    return result;
}

} // namespace tarvex::search
