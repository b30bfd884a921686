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
    std::int64_t& used = m_used[std::string{key}];
    if (used >= m_perDay) {
        return false;
    }
    ++used;
    return true;
}

} // namespace tarvex::search
