#include "key_quota.h"

namespace tarvex::search {

bool KeyQuota::take(std::string_view key, std::int64_t day) {
    if (m_perDay <= 0) {
        return true;
    }
    const std::lock_guard lock{m_mutex};
    if (day != m_day) {
        m_used.clear(); // yesterday's counts are of no more use
        m_day = day;
    }
    auto found = m_used.find(std::string{key});
    if (found == m_used.end()) {
        if (m_used.size() >= kMaxKeysPerDay) {
            return false;
        }
        found = m_used.emplace(std::string{key}, 0).first;
    }
    if (found->second >= m_perDay) {
        return false;
    }
    ++found->second;
    return true;
}

} // namespace tarvex::search
