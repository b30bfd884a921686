#pragma once

#include "shell/settings_store.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::app {

// The service's address when nothing else names one.
inline constexpr std::string_view kBuiltInEndpoint = "http://api.google.com/search/beta2";

// The endpoint in use: `override` when given and not empty, else TARVEX_ENDPOINT, else the
// setting "Service Endpoint", else the built-in address.
[[nodiscard]] std::string chooseEndpoint(shell::SettingsStore& settings,
                                         const std::optional<std::string>& override = {});

// The certificate file trusted beside the system's store: `override` when given and not empty,
// else the setting "Trust File"; empty for none.
[[nodiscard]] std::string chooseTrustFile(shell::SettingsStore& settings,
                                          const std::optional<std::string>& override = {});

// Scheme, host and port of an endpoint ("http://host:port", the port only when the address
// names one); the built-in endpoint's origin when the address does not parse.
[[nodiscard]] std::string endpointOrigin(std::string_view endpoint);

// The service's web search page for a query word: origin + "/search?q={term}&meta=lr%3D%26hl%3Den
// &btnG=Google+Search". "%", "&", "#", "+" and every byte outside printable ASCII are
// percent-encoded; a blank and everything else stay as typed.
[[nodiscard]] std::string searchPageAddress(std::string_view origin, std::string_view queryWord);

// The developer page on licence keys: origin + "/apis".
[[nodiscard]] std::string developerPageAddress(std::string_view origin);

// One of the maker's page addresses (the "Help?" and "More Tools..." links) moved onto `origin`:
// its scheme, host and port replaced, path and query kept, a fragment dropped. An address that
// does not parse is returned as it is.
[[nodiscard]] std::string addressOnOrigin(std::string_view origin, std::string_view address);

} // namespace tarvex::app
