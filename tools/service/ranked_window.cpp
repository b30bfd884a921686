#include "service/ranked_window.h"

#include "service/host_folding.h"
#include "service/page_categories.h"

#include <algorithm>
#include <map>
#include <string>

namespace tarvex::search {

std::vector<ShownMatch> rankedWindow(const std::vector<RankedMatch>& ranked,
                                     const SearchRequest& request, SearchPage& page) {
    std::vector<const RankedMatch*> kept;
    HostFolding folding;
    std::map<std::string_view, int> categoryCounts;
    for (const RankedMatch& match : ranked) {
        if (request.filter && !folding.keep(match.host, kept.size())) {
            continue;
        }
        kept.push_back(&match);
        if (!match.category.empty()) {
            ++categoryCounts[match.category];
        }
    }
    page.total = static_cast<std::int32_t>(kept.size());
    page.filtered = folding.folded();
    page.categories = commonestCategories(categoryCounts);
    const auto first = static_cast<std::size_t>(std::max(request.start, 0));
    const auto wanted = static_cast<std::size_t>(std::max(request.maxResults, 0));
    std::vector<ShownMatch> shown;
    for (std::size_t position = first; position < kept.size() && position - first < wanted;
         ++position) {
        ShownMatch match{kept[position]->id, {}};
        if (folding.named(position)) {
            match.hit.hostName = kept[position]->host;
        }
        shown.push_back(std::move(match));
    }
    return shown;
}

} // namespace tarvex::search
