#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

// How many of the commonest categories a result page names.
inline constexpr std::size_t kPageCategories = 2;

// The commonest categories of a search's results, the most frequent first (ties in the map's
// order), at most kPageCategories.
[[nodiscard]] std::vector<std::string>
commonestCategories(const std::map<std::string_view, int>& counts);

} // namespace tarvex::search
