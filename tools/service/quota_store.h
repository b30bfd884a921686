#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex::search {

// Counts searches per key per day against a daily limit.
class QuotaStore {
public:
    virtual ~QuotaStore() = default;
    // Counts one search for `key` on `day`; false only when the key has used up the day's
    // quota. A new day starts every key afresh.
    [[nodiscard]] virtual bool take(std::string_view key, std::int64_t day) = 0;
};

} // namespace tarvex::search
