#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::http {

// An http or https URL: scheme://[user[:password]@]host[:port]path[?query]. Port 0 means none was
// given.
struct Url {
    std::string scheme;
    std::string user;
    std::string password;
    std::string host;
    std::uint16_t port = 0;
    std::string path;
    std::string extra; // the query part, sent right after the path

    friend bool operator==(const Url&, const Url&) = default;
};

// Limits of each part; a longer part makes the URL unusable.
inline constexpr std::size_t kMaxHostLength = 256;
inline constexpr std::size_t kMaxUserLength = 128;
inline constexpr std::size_t kMaxPathLength = 2048;
inline constexpr std::uint16_t kHttpPort = 80;
inline constexpr std::uint16_t kHttpsPort = 443;

// 443 for https, 80 for anything else.
[[nodiscard]] constexpr std::uint16_t defaultPort(std::string_view scheme) {
    return scheme == "https" ? kHttpsPort : kHttpPort;
}

// Null when the text is no URL of this form or a part is too long. Any scheme is read; only
// http and https are fetched. A fragment is dropped.
[[nodiscard]] std::optional<Url> parseUrl(std::string_view text);

// The text form; the port is written only when it differs from the scheme's default.
[[nodiscard]] std::string toText(const Url& url);

// The target of a redirect from `current` to `location` (RFC 9110 10.2.2, RFC 3986 5.2):
// an absolute URL as it is, "//host/path" with the current scheme, "/path" on the current host,
// anything else relative to the current path's last "/".
[[nodiscard]] std::optional<Url> resolveLocation(const Url& current, std::string_view location);

} // namespace tarvex::http
