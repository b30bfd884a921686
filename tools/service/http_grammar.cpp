#include "service/http_grammar.h"

#include "base/ascii_case.h"

#include <algorithm>
#include <string_view>

namespace tarvex::search {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view& rest) {
    while (!rest.empty() && isBlank(rest.front())) {
        rest.remove_prefix(1);
    }
}

// Takes a token from the front of `rest`; false when none starts there.
bool takeToken(std::string_view& rest) {
    const auto length = static_cast<std::size_t>(
        std::find_if_not(rest.begin(), rest.end(), isTokenChar) - rest.begin());
    rest.remove_prefix(length);
    return length > 0;
}

// Takes the quoted-string at the front of `rest` (RFC 9110 5.6.4): a DQUOTE, then qdtext and
// quoted-pairs (a backslash and the character it stands for), then the closing DQUOTE. False when
// it is never closed or holds a control character other than HTAB.
bool takeQuotedString(std::string_view& rest) {
    for (std::size_t at = 1; at < rest.size(); ++at) {
        if (rest[at] == '"') {
            rest.remove_prefix(at + 1);
            return true;
        }
        if (rest[at] == '\\' && ++at == rest.size()) {
            return false;
        }
        const auto c = static_cast<unsigned char>(rest[at]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            return false;
        }
    }
    return false;
}

// RFC 3986 2.2 and 2.3: the unreserved characters and sub-delims a host name is made of.
bool isHostChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view{"-._~!$&'()*+,;="}.find(c) != std::string_view::npos;
}

} // namespace

// RFC 9110 5.6.2: the characters of a token.
bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view{"!#$%&'*+-.^_`|~"}.find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// RFC 9112 7.1.1: chunk-ext = *( BWS ";" BWS name [ BWS "=" BWS value ] ), the value a token or
// a quoted-string. Extensions are not acted on, but a malformed one makes the chunk malformed.
// Blanks at the end of the line are let through.
bool isChunkExtensionList(std::string_view rest) {
    skipBlanks(rest);
    while (!rest.empty()) {
        if (rest.front() != ';') {
            return false;
        }
        rest.remove_prefix(1);
        skipBlanks(rest);
        if (!takeToken(rest)) {
            return false;
        }
        skipBlanks(rest);
        if (rest.starts_with('=')) {
            rest.remove_prefix(1);
            skipBlanks(rest);
            if (!(rest.starts_with('"') ? takeQuotedString(rest) : takeToken(rest))) {
                return false;
            }
            skipBlanks(rest);
        }
    }
    return true;
}

// RFC 9110 7.2: Host = uri-host [ ":" port ], the host an IP literal in brackets or a name of
// host characters and percent-escapes (RFC 3986 3.2.2), the port digits. An empty value is
// allowed: it stands for a target without an authority.
bool isHostValue(std::string_view value) {
    std::string_view rest = value;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close == 1 ||
            !std::all_of(rest.begin() + 1, rest.begin() + static_cast<std::ptrdiff_t>(close),
                         [](char c) { return isHostChar(c) || c == ':'; })) {
            return false;
        }
        rest.remove_prefix(close + 1);
    } else {
        const std::string_view name = rest.substr(0, rest.find(':'));
        for (std::size_t at = 0; at < name.size(); ++at) {
            if (name[at] == '%') {
                if (at + 2 >= name.size() || asciiHexValue(name[at + 1]) < 0 ||
                    asciiHexValue(name[at + 2]) < 0) {
                    return false;
                }
                at += 2;
            } else if (!isHostChar(name[at])) {
                return false;
            }
        }
        rest.remove_prefix(name.size());
    }
    return rest.empty() || (rest.front() == ':' &&
                            rest.find_first_not_of("0123456789", 1) == std::string_view::npos);
}

} // namespace tarvex::search
