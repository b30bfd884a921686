#include "app/service_pages.h"

#include "http/url.h"
#include "shell/setting_names.h"

#include <cstdlib>

namespace tarvex::app {
namespace {

constexpr std::string_view kEndpointVariable = "TARVEX_ENDPOINT";
constexpr std::string_view kBuiltInOrigin = "http://api.google.com";

// Characters that would change the meaning of the address, and every byte that is not
// printable ASCII (UTF-8 sequences byte by byte).
bool needsEscape(unsigned char c) {
    return c == '%' || c == '&' || c == '#' || c == '+' || c < 0x20 || c >= 0x7F;
}

} // namespace

std::string chooseEndpoint(shell::SettingsStore& settings,
                           const std::optional<std::string>& override) {
    if (override && !override->empty()) {
        return *override;
    }
    if (const char* fromEnvironment = std::getenv(std::string{kEndpointVariable}.c_str());
        fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    std::string fromSettings = shell::kServiceEndpoint.get(settings);
    if (!fromSettings.empty()) {
        return fromSettings;
    }
    return std::string{kBuiltInEndpoint};
}

std::string chooseTrustFile(shell::SettingsStore& settings,
                            const std::optional<std::string>& override) {
    if (override && !override->empty()) {
        return *override;
    }
    return shell::kTrustFile.get(settings);
}

std::string endpointOrigin(std::string_view endpoint) {
    const auto url = http::parseUrl(endpoint);
    if (!url) {
        return std::string{kBuiltInOrigin};
    }
    std::string origin = url->scheme + "://" + url->host;
    if (url->port != 0) {
        origin.append(":").append(std::to_string(url->port));
    }
    return origin;
}

std::string searchPageAddress(std::string_view origin, std::string_view queryWord) {
    constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    std::string term;
    for (const char c : queryWord) {
        const auto byte = static_cast<unsigned char>(c);
        if (needsEscape(byte)) {
            term.push_back('%');
            term.push_back(kHexDigits[byte >> 4U]);
            term.push_back(kHexDigits[byte & 0x0FU]);
        } else {
            term.push_back(c);
        }
    }
    std::string address{origin};
    address.append("/search?q=").append(term).append("&meta=lr%3D%26hl%3Den&btnG=Google+Search");
    return address;
}

std::string developerPageAddress(std::string_view origin) {
    return std::string{origin}.append("/apis");
}

std::string addressOnOrigin(std::string_view origin, std::string_view address) {
    const auto url = http::parseUrl(address);
    if (!url) {
        return std::string{address};
    }
    std::string moved{origin};
    moved.append(url->path.empty() ? "/" : url->path).append(url->extra);
    return moved;
}

} // namespace tarvex::app
