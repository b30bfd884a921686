#pragma once

#include "proxy/google_search.h"

#include <string>

namespace tarvex::app {

// Why the proxy's last call failed, in a few words a user can act on: the service's fault string,
// the HTTP status, a refused or timed-out connection, an answer that could not be read. Empty
// when the call did not fail. At most kMaxFailureText bytes, on one line.
[[nodiscard]] std::string searchFailureText(const proxy::CGoogleSearch& proxy);

inline constexpr std::size_t kMaxFailureText = 300;

} // namespace tarvex::app
