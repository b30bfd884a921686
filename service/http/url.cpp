#include "http/url.h"

#include "base/ascii_case.h"

#include <algorithm>
#include <charconv>

namespace tarvex::http {
namespace {

bool isSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// Authority and the rest, after "scheme://".
bool parseAfterScheme(std::string_view rest, Url& url) {
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view tail =
        authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);

    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        const std::size_t colon = userInfo.find(':');
        url.user = std::string{userInfo.substr(0, colon)};
        if (colon != std::string_view::npos) {
            url.password = std::string{userInfo.substr(colon + 1)};
        }
        if (url.user.size() > kMaxUserLength || url.password.size() > kMaxUserLength ||
            (url.user.empty() && !url.password.empty())) {
            return false;
        }
    }
    if (const std::size_t colon = authority.rfind(':');
        colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
        if (!port.empty()) {
            unsigned value = 0;
            const auto result = std::from_chars(port.data(), port.data() + port.size(), value);
            if (result.ec != std::errc{} || result.ptr != port.data() + port.size() || value == 0 ||
                value > 65535) {
                return false;
            }
            url.port = static_cast<std::uint16_t>(value);
        }
    }
    url.host = std::string{authority};
    if (url.host.empty() || url.host.size() > kMaxHostLength) {
        return false;
    }
    if (const std::size_t hash = tail.find('#'); hash != std::string_view::npos) {
        tail = tail.substr(0, hash);
    }
    const std::size_t query = tail.find('?');
    url.path = std::string{tail.substr(0, query)};
    if (query != std::string_view::npos) {
        url.extra = std::string{tail.substr(query)};
    }
    return url.path.size() <= kMaxPathLength && url.extra.size() <= kMaxPathLength;
}

} // namespace

std::optional<Url> parseUrl(std::string_view text) {
    const std::size_t separator = text.find("://");
    if (separator == std::string_view::npos || separator == 0) {
        return std::nullopt;
    }
    const std::string_view scheme = text.substr(0, separator);
    if (!std::all_of(scheme.begin(), scheme.end(), isSchemeChar)) {
        return std::nullopt;
    }
    for (const char c : text) {
        // Control characters and blanks have no place in a URL sent on a request line.
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    Url url;
    url.scheme = asciiLowered(scheme);
    if (!parseAfterScheme(text.substr(separator + 3), url)) {
        return std::nullopt;
    }
    return url;
}

std::string toText(const Url& url) {
    std::string text;
    text.append(url.scheme).append("://");
    if (!url.user.empty()) {
        text.append(url.user);
        if (!url.password.empty()) {
            text.append(":").append(url.password);
        }
        text.append("@");
    }
    text.append(url.host);
    if (url.port != 0 && url.port != defaultPort(url.scheme)) {
        text.append(":").append(std::to_string(url.port));
    }
    text.append(url.path).append(url.extra);
    return text;
}

std::optional<Url> resolveLocation(const Url& current, std::string_view location) {
    if (location.find("://") != std::string_view::npos) {
        auto url = parseUrl(location);
        if (url && url->path.empty()) {
            url->path.push_back('/'); // empty before
        }
        return url;
    }
    if (location.substr(0, 2) == "//") {
        std::string absolute = current.scheme;
        absolute.append(":").append(location);
        return resolveLocation(current, absolute);
    }
    std::string target;
    if (!location.empty() && location.front() == '/') {
        target = std::string{location};
    } else {
        const std::size_t slash = current.path.rfind('/');
        target =
            (slash == std::string::npos ? std::string{"/"} : current.path.substr(0, slash + 1)) +
            std::string{location};
    }
    Url base = current;
    base.path.clear();
    base.extra.clear();
    std::string absolute = toText(base);
    absolute.append(target);
    auto url = parseUrl(absolute);
    if (url) {
        url->port = current.port;
        if (url->path.empty()) {
            url->path.push_back('/'); // empty before
        }
    }
    return url;
}

} // namespace tarvex::http
