#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::search {

// The query of a request target ("/path?query#fragment"): what follows the first "?", up to a
// "#"; empty when there is none.
[[nodiscard]] std::string_view queryOf(std::string_view target);

// One name or value of a query string (application/x-www-form-urlencoded): "+" is a blank and
// %XX the byte XX; a "%" without two hex digits after it stands for itself. The bytes are
// returned as they come (UTF-8 when the sender followed the rules, which is not checked here).
[[nodiscard]] std::string decodeQueryComponent(std::string_view text);

// The opposite, for links: letters, digits and "-._~" stay, a blank becomes "+", every other
// byte %XX.
[[nodiscard]] std::string encodeQueryComponent(std::string_view text);

// The decoded value of the first parameter called `name` in a query string; nothing when no
// parameter has that name. A parameter without "=" has an empty value.
[[nodiscard]] std::optional<std::string> queryValue(std::string_view query, std::string_view name);

} // namespace tarvex::search
