#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::search {

// Where an upstream backend keeps the engine's answers by the address they were fetched from,
// and the addresses of the results it gave out (whose pages it will then serve), each for a
// time to live. Safe to use from many threads at once. Any call may throw when the store fails;
// the backend then does without it.
class AnswerCache {
public:
    // Seconds since 1970 by default; tests pass their own clock.
    using Now = std::function<std::int64_t()>;
    [[nodiscard]] static std::int64_t unixSeconds() {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    // Answers kept at most, in bytes: past it the oldest go first.
    static constexpr std::int64_t kDefaultMaxBytes = std::int64_t{256} << 20;
    // Returned addresses kept at most: past it the oldest go first.
    static constexpr std::int64_t kMaxReturned = 100000;

    virtual ~AnswerCache() = default;

    [[nodiscard]] virtual std::optional<std::string> answer(const std::string& url) = 0;
    virtual void keepAnswer(const std::string& url, const std::string& body) = 0;

    virtual void noteReturned(const std::vector<std::string>& urls) = 0;
    [[nodiscard]] virtual bool returned(const std::string& url) = 0;
};

} // namespace tarvex::search
