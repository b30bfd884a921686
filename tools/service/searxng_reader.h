#pragma once

#include "service/upstream_page.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::search {

// SearXNG's answers nest a few levels deep; this leaves room and keeps hostile ones shallow.
inline constexpr int kMaxSearxngNesting = 64;

// Reads a SearXNG answer (its JSON output): the results array (objects with url, title and
// content), number_of_results, suggestions and corrections. A field of the wrong type counts as
// empty, a result that is no object and a suggestion or correction that is no string are
// skipped. Every text loses its surrounding whitespace and is cut at kMaxUpstreamTextBytes on a
// UTF-8 character boundary; empty suggestions and corrections are dropped. The answer is
// refused (nullopt, `error` says why) when it is larger than kMaxUpstreamBytes, nests arrays
// and objects deeper than kMaxSearxngNesting, is no JSON, has no results array, or holds more
// than kMaxUpstreamItems results, suggestions or corrections.
[[nodiscard]] std::optional<UpstreamPage> readSearxngAnswer(std::string_view body,
                                                            std::string& error);

} // namespace tarvex::search
