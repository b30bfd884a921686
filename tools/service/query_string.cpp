#include "service/query_string.h"

#include "base/ascii_case.h"

namespace tarvex::search {
namespace {

int hexValue(char c) {
    return asciiHexValue(c);
}

bool keptAsIs(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

std::string_view queryOf(std::string_view target) {
    target = target.substr(0, target.find('#'));
    const auto mark = target.find('?');
    return mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
}

std::string decodeQueryComponent(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
            continue;
        }
        if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
            continue;
        }
        decoded += c;
    }
    return decoded;
}

std::string encodeQueryComponent(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        if (keptAsIs(c)) {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const auto end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view{} : query.substr(end + 1);
        const auto equals = pair.find('=');
        if (decodeQueryComponent(pair.substr(0, equals)) == name) {
            return equals == std::string_view::npos ? std::string{}
                                                    : decodeQueryComponent(pair.substr(equals + 1));
        }
    }
    return std::nullopt;
}

} // namespace tarvex::search
