#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// A document that matched a search, in rank order; the texts must outlive the window.
struct RankedMatch {
    std::int64_t id;
    std::string_view host;
    std::string_view category;
};

// The page of a search's ranked matches that a request asks for: with `filter` the matches are
// folded by host first; the total and the commonest categories count everything kept.
struct RankedWindow {
    struct Shown {
        std::int64_t id;
        std::string_view host;
        bool named; // the result names its host ("more results from")
    };
    std::int32_t total = 0;
    bool filtered = false;
    std::vector<std::string> categories;
    std::vector<Shown> shown;
};

[[nodiscard]] RankedWindow rankedWindow(const std::vector<RankedMatch>& ranked, bool filter,
                                        std::int32_t start, std::int32_t count);

} // namespace tarvex::search
