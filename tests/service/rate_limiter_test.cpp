#include "service/rate_limiter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;
using Clock = RateLimiter::Clock;

TEST(RateLimiterTest, SpacesCallersAndRefusesWhatWouldWaitTooLongOrPileUp) {
    Clock::time_point now{};
    std::vector<Clock::time_point> slept;
    RateLimiter limiter{4, 2, [&now] { return now; },
                        [&slept](Clock::time_point until) { slept.push_back(until); }};
    const Clock::time_point deadline = now + 1s;
    // The first goes at once, the next ones a quarter second apart.
    EXPECT_EQ(limiter.take(deadline), RateLimiter::Outcome::Go);
    EXPECT_EQ(limiter.take(deadline), RateLimiter::Outcome::Go);
    EXPECT_EQ(limiter.take(deadline), RateLimiter::Outcome::Go);
    EXPECT_EQ(slept, (std::vector<Clock::time_point>{now + 250ms, now + 500ms}));
    // A turn at or past the caller's deadline is refused and not used up.
    EXPECT_EQ(limiter.take(now + 750ms), RateLimiter::Outcome::WaitTooLong);
    EXPECT_EQ(limiter.take(deadline), RateLimiter::Outcome::Go);
    EXPECT_EQ(slept.back(), now + 750ms);

    // A caller still asleep counts against the bound on waiting ones: a third caller that
    // comes while the second sleeps is refused at once.
    RateLimiter* shared = nullptr;
    std::vector<RateLimiter::Outcome> meanwhile;
    RateLimiter oneWaiting{1, 1, [&now] { return now; },
                           [&shared, &meanwhile, &now](Clock::time_point) {
                               meanwhile.push_back(shared->take(now + 10s));
                           }};
    shared = &oneWaiting;
    EXPECT_EQ(oneWaiting.take(now + 10s), RateLimiter::Outcome::Go);
    EXPECT_EQ(oneWaiting.take(now + 10s), RateLimiter::Outcome::Go);
    EXPECT_EQ(meanwhile, std::vector<RateLimiter::Outcome>{RateLimiter::Outcome::TooManyWaiting});
}

} // namespace
} // namespace tarvex::search
