// Daily search quotas per key.
#include "key_quota.h"

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

TEST(KeyQuotaTest, MadeUpKeysCannotGrowTheTableWithoutBound) {
    KeyQuota quota{5};
    for (std::size_t i = 0; i < KeyQuota::kMaxKeysPerDay; ++i) {
        ASSERT_TRUE(quota.take(std::to_string(i), 7));
    }
    EXPECT_FALSE(quota.take("one more", 7));
    EXPECT_TRUE(quota.take("0", 7)) << "keys already counted go on";
    EXPECT_TRUE(quota.take("one more", 8)) << "the next day starts afresh";
}

} // namespace
} // namespace tarvex::search
