#include "service/key_quota.h"

namespace tarvex::search {

bool KeyQuota::take(std::string_view key, std::int64_t day) {
    if (m_perDay <= 0) {
        return true;
    }
    const std::lock_guard lock{m_mutex};
    if (day != m_day) {
        m_byRank.clear(); // yesterday's counts are of no more use
        m_used.clear();
        m_day = day;
    }
    auto found = m_used.find(std::string{key});
    if (found == m_used.end()) {
        if (m_used.size() >= m_capacity) {
            const auto least = m_byRank.begin();
            const std::string evicted = *least->second;
            m_byRank.erase(least);
            m_used.erase(evicted);
        }
        found = m_used.emplace(std::string{key}, Rank{0, 0}).first;
    } else {
        if (found->second.first >= m_perDay) {
            return false;
        }
        m_byRank.erase(found->second);
    }
    found->second = Rank{found->second.first + 1, ++m_turn};
    m_byRank.emplace(found->second, &found->first);
    return true;
}

} // namespace tarvex::search
