#include "service/ranked_window.h"

#include "service/host_folding.h"
#include "service/page_categories.h"

#include <algorithm>
#include <map>

namespace tarvex::search {

RankedWindow rankedWindow(const std::vector<RankedMatch>& ranked, bool filter, std::int32_t start,
                          std::int32_t count) {
    std::vector<const RankedMatch*> kept;
    HostFolding folding;
    std::map<std::string_view, int> categoryCounts;
    for (const RankedMatch& match : ranked) {
        if (filter && !folding.keep(match.host, kept.size())) {
            continue;
        }
        kept.push_back(&match);
        if (!match.category.empty()) {
            ++categoryCounts[match.category];
        }
    }
    RankedWindow window;
    window.total = static_cast<std::int32_t>(kept.size());
    window.filtered = folding.folded();
    window.categories = commonestCategories(categoryCounts);
    const auto first = static_cast<std::size_t>(std::max(start, 0));
    const auto wanted = static_cast<std::size_t>(std::max(count, 0));
    for (std::size_t position = first; position < kept.size() && position - first < wanted;
         ++position) {
        window.shown.push_back({kept[position]->id, kept[position]->host, folding.named(position)});
    }
    return window;
}

} // namespace tarvex::search
