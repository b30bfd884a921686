#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarvex::search {

// Counts searches per key per day, as the historic service did at its daily limit.
class KeyQuota {
public:
    // Keys counted in one day at most; past that a new key is refused until the next day, so a
    // stream of made-up keys cannot grow the table without bound.
    static constexpr std::size_t kMaxKeysPerDay = std::size_t{1} << 16;

    // `perDay` 0 means no limit.
    explicit KeyQuota(std::int64_t perDay) : m_perDay(perDay) {}

    // Counts one search for `key` on `day`; false when the key has used up the day's quota (or
    // is new on a day that has seen kMaxKeysPerDay keys). A new day starts every key afresh.
    [[nodiscard]] bool take(std::string_view key, std::int64_t day);
    [[nodiscard]] std::int64_t perDay() const { return m_perDay; }

private:
    std::int64_t m_perDay;
    std::int64_t m_day = 0;
    std::unordered_map<std::string, std::int64_t> m_used;
    std::mutex m_mutex;
};

} // namespace tarvex::search
