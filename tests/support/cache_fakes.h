#pragma once

#include "cache/cache_file.h"
#include "cache/ole_date.h"

#include <string>
#include <vector>

namespace tarvex::test {

// A clock that always says `date` (by default the day the cache tests' files were stamped).
class FixedClock final : public cache::Clock {
public:
    [[nodiscard]] cache::OleDate now() const override { return date; }
    cache::OleDate date{46364.5, cache::OleDate::kValid};
};

// The errors a cache file's load reports, in order.
class CollectedErrors final : public cache::CacheFileErrors {
public:
    void report(const std::string& message) override { messages.push_back(message); }
    std::vector<std::string> messages;
};

} // namespace tarvex::test
