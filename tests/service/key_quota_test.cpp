// Daily search quotas per key, in the service's memory and in a PostgreSQL database (on the
// test run's cluster).
#include "service/key_quota.h"
#include "service/pg_key_quota.h"
#include "support/store_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tarvex::search {
namespace {

class QuotaStoreTest : public test::StoreTest {
protected:
    std::unique_ptr<QuotaStore> open(std::int64_t perDay) {
        if (onPostgreSQL()) {
            return std::make_unique<PgKeyQuota>(database().freshDatabase(std::to_string(++m_made)),
                                                perDay, 2);
        }
        return std::make_unique<KeyQuota>(perDay);
    }

    int m_made = 0;
};

// Keys are counted as the bytes they are: a zero byte, bytes that are no UTF-8, SQL and a key
// longer than the database's index takes (which failed every search with it) are keys like any
// other.
TEST_P(QuotaStoreTest, CountsPerKeyAndStartsAfreshEachDay) {
    const auto quota = open(2);
    std::string longKey;
    std::uint32_t state = 1;
    while (longKey.size() < 6000) {
        state = state * 1103515245U + 12345U;
        longKey += static_cast<char>(state >> 24);
    }
    for (const std::string& key :
         {std::string{"a"}, std::string{"a\0x", 3}, std::string{"a\0y", 3}, std::string{"\xff\xfe"},
          std::string{"'); DELETE FROM key_quota;--"}, longKey}) {
        SCOPED_TRACE(key.substr(0, 40));
        EXPECT_TRUE(quota->take(key, 1));
        EXPECT_TRUE(quota->take(key, 1));
        EXPECT_FALSE(quota->take(key, 1));
    }
    EXPECT_TRUE(quota->take("b", 1));
    EXPECT_TRUE(quota->take("a", 2));
    const auto unlimited = open(0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(unlimited->take("a", 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, QuotaStoreTest, test::kBothStores, test::storeName);

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
