// Daily search quotas per key.
#include "service/key_quota.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

TEST(KeyQuotaTest, CountsPerKeyAndStartsAfreshEachDay) {
    KeyQuota quota{2};
    EXPECT_TRUE(quota.take("a", 1));
    EXPECT_TRUE(quota.take("a", 1));
    EXPECT_FALSE(quota.take("a", 1));
    EXPECT_TRUE(quota.take("b", 1));
    EXPECT_TRUE(quota.take("a", 2));
    KeyQuota unlimited{0};
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(unlimited.take("a", 1));
    }
}

// Regression: 65,536 made-up keys filled the table and a new key was refused for the day.
TEST(KeyQuotaTest, AFullTableNeverRefusesAKeyWithinItsQuota) {
    KeyQuota quota{5};
    for (std::size_t i = 0; i < KeyQuota::kMaxKeysPerDay; ++i) {
        ASSERT_TRUE(quota.take(std::to_string(i), 7));
    }
    EXPECT_TRUE(quota.take("one more", 7));
    for (std::size_t i = 0; i < 1000; ++i) {
        ASSERT_TRUE(quota.take("new " + std::to_string(i), 7)) << i;
    }
}

TEST(KeyQuotaTest, TheKeysWithFewestSearchesArePushedOutFirst) {
    KeyQuota quota{3, 3};
    for (const char* key : {"used up", "used up", "used up", "twice", "twice", "once"}) {
        ASSERT_TRUE(quota.take(key, 1)) << key;
    }
    // The table is full: each new key pushes out a key with one search, never those with more.
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(quota.take("made up " + std::to_string(i), 1)) << i;
    }
    EXPECT_FALSE(quota.take("used up", 1)) << "a key at its limit is still counted";
    EXPECT_TRUE(quota.take("twice", 1));
    EXPECT_FALSE(quota.take("twice", 1));
}

TEST(KeyQuotaTest, AmongEqualCountsTheLongestUnusedGoesFirst) {
    KeyQuota quota{2, 2};
    ASSERT_TRUE(quota.take("old", 1));
    ASSERT_TRUE(quota.take("recent", 1));
    ASSERT_TRUE(quota.take("new", 1)); // pushes out "old"
    ASSERT_TRUE(quota.take("recent", 1));
    EXPECT_FALSE(quota.take("recent", 1)) << "\"recent\" kept its count";
    EXPECT_TRUE(quota.take("old", 1));
}

} // namespace
} // namespace tarvex::search
