#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string_view>

namespace tarvex::search {

// Folds results by host as the historic service did: at most two results of a host are kept,
// and the second of a host that had more carries the host's name, so a page can offer "more
// results from" it. Results are offered in rank order.
class HostFolding {
public:
    static constexpr int kResultsPerHost = 2;

    // Whether a result of `host` is kept; `position` is where it goes among the kept ones.
    // Results without a host are always kept. The host's text must outlive the folding.
    [[nodiscard]] bool keep(std::string_view host, std::size_t position);

    // At least one result was left out.
    [[nodiscard]] bool folded() const { return m_folded; }
    // The kept result at `position` names its host.
    [[nodiscard]] bool named(std::size_t position) const { return m_named.contains(position); }

private:
    std::map<std::string_view, int> m_perHost;
    std::map<std::string_view, std::size_t> m_secondOfHost;
    std::set<std::size_t> m_named;
    bool m_folded = false;
};

} // namespace tarvex::search
