#include "service/host_folding.h"

namespace tarvex::search {

bool HostFolding::keep(std::string_view host, std::size_t position) {
    if (host.empty()) {
        return true;
    }
    const int seen = ++m_perHost[host];
    if (seen == kResultsPerHost) {
        m_secondOfHost[host] = position;
    } else if (seen > kResultsPerHost) {
        if (seen == kResultsPerHost + 1) {
            m_named.insert(m_secondOfHost[host]);
        }
        m_folded = true;
        return false;
    }
    return true;
}

} // namespace tarvex::search
