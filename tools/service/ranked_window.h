#pragma once

#include "service/search_backend.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvex::search {

// A document that matched a search, in rank order; the texts must outlive the window.
struct RankedMatch {
    std::int64_t id;
    std::string_view host;
    std::string_view category;
};

// A match on the page a request asks for, and its result with the host named where the
// folding says so; the caller fills in the rest of the result.
struct ShownMatch {
    std::int64_t id;
    SearchHit hit;
};

// The page of a search's ranked matches that `request` asks for: with filtering the matches are
// folded by host first. Sets `page`'s total, folding and commonest categories, which count
// everything kept, and returns the matches shown, in order.
[[nodiscard]] std::vector<ShownMatch> rankedWindow(const std::vector<RankedMatch>& ranked,
                                                   const SearchRequest& request, SearchPage& page);

} // namespace tarvex::search
