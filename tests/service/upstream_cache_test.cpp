#include "service/upstream_cache.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;

TEST(UpstreamCacheTest, AnswersAndAddressesLastTheirTimeToLive) {
    std::int64_t now = 1'000'000;
    UpstreamCache cache{":memory:", 1h, [&now] { return now; }};
    cache.keepAnswer("http://e/?q=a", std::string{"bytes\0with a zero", 17});
    cache.noteReturned({"http://r1/", "http://r2/"});
    now += 3600;
    EXPECT_EQ(cache.answer("http://e/?q=a"), (std::string{"bytes\0with a zero", 17}));
    EXPECT_TRUE(cache.returned("http://r2/"));
    EXPECT_FALSE(cache.returned("http://r3/"));
    EXPECT_FALSE(cache.answer("http://e/?q=b"));
    now += 1;
    EXPECT_FALSE(cache.answer("http://e/?q=a"));
    EXPECT_FALSE(cache.returned("http://r1/"));

    UpstreamCache keepsNothing{":memory:", 0s, [&now] { return now; }};
    keepsNothing.keepAnswer("http://e/", "x");
    keepsNothing.noteReturned({"http://r1/"});
    EXPECT_FALSE(keepsNothing.answer("http://e/"));
    EXPECT_FALSE(keepsNothing.returned("http://r1/"));
}

TEST(UpstreamCacheTest, PastItsBoundTheOldestAnswersGoFirst) {
    std::int64_t now = 0;
    UpstreamCache cache{":memory:", 24h, [&now] { return now; }, 4096};
    const std::string kilobyte(1024, 'k');
    for (int i = 0; i < 20; ++i) {
        ++now;
        cache.keepAnswer("http://e/" + std::to_string(i), kilobyte);
    }
    int kept = 0;
    for (int i = 0; i < 20; ++i) {
        kept += cache.answer("http://e/" + std::to_string(i)) ? 1 : 0;
    }
    EXPECT_LE(kept * 1024, 4096 + 4096 / 8 + 1024);
    EXPECT_TRUE(cache.answer("http://e/19"));
    EXPECT_FALSE(cache.answer("http://e/0"));
}

} // namespace
} // namespace tarvex::search
