#pragma once

#include "service/quota_store.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tarvex::search {

// Counts searches per key per day, as the historic service did at its daily limit.
class KeyQuota final : public QuotaStore {
public:
    // Keys counted at once at most, so that a stream of made-up keys cannot grow the table
    // without bound.
    static constexpr std::size_t kMaxKeysPerDay = std::size_t{1} << 16;

    // `perDay` 0 means no limit.
    explicit KeyQuota(std::int64_t perDay, std::size_t capacity = kMaxKeysPerDay)
        : m_perDay(perDay), m_capacity(capacity == 0 ? 1 : capacity) {}

    // Counts one search for `key` on `day`; false only when the key has used up the day's quota.
    // A new day starts every key afresh. A new key on a full table pushes out the key with the
    // fewest searches (the longest unused of those): forgetting it gives away the least.
    [[nodiscard]] bool take(std::string_view key, std::int64_t day) override;
    [[nodiscard]] std::int64_t perDay() const { return m_perDay; }

private:
    // Searches so far, then the turn of the last one: the least of these is pushed out first.
    using Rank = std::pair<std::int64_t, std::uint64_t>;

    std::int64_t m_perDay;
    std::size_t m_capacity;
    std::int64_t m_day = 0;
    std::uint64_t m_turn = 0;
    std::unordered_map<std::string, Rank> m_used;
    std::map<Rank, const std::string*> m_byRank; // the keys are those of m_used
    std::mutex m_mutex;
};

} // namespace tarvex::search
