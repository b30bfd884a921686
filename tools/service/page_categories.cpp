#include "service/page_categories.h"

#include <algorithm>
#include <utility>

namespace tarvex::search {

std::vector<std::string> commonestCategories(const std::map<std::string_view, int>& counts) {
    std::vector<std::pair<std::string_view, int>> categories(counts.begin(), counts.end());
    std::stable_sort(categories.begin(), categories.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> commonest;
    for (std::size_t i = 0; i < categories.size() && i < kPageCategories; ++i) {
        commonest.emplace_back(categories[i].first);
    }
    return commonest;
}

} // namespace tarvex::search
