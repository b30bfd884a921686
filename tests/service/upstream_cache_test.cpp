// The answer cache in a SQLite file and in a PostgreSQL database (on the test run's cluster):
// the same cases hold both.
#include "service/pg_upstream_cache.h"
#include "service/upstream_cache.h"
#include "support/store_test.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;

class AnswerCacheTest : public test::StoreTest {
protected:
    // A cache on the test's store; every one made by a test shares it, as services do.
    std::unique_ptr<AnswerCache> open(std::chrono::seconds timeToLive,
                                      std::int64_t maxBytes = AnswerCache::kDefaultMaxBytes) {
        const auto clock = [this] { return m_now; };
        if (onPostgreSQL()) {
            return std::make_unique<PgUpstreamCache>(database().conninfo(), timeToLive, 2, clock,
                                                     maxBytes);
        }
        return std::make_unique<UpstreamCache>(":memory:", timeToLive, clock, maxBytes);
    }

    std::int64_t m_now = 1'000'000;
};

TEST_P(AnswerCacheTest, AnswersAndAddressesLastTheirTimeToLive) {
    const auto cache = open(1h);
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte += static_cast<char>(byte);
    }
    cache->keepAnswer("http://e/?q=a", everyByte);
    cache->noteReturned({"http://r1/", "http://r2/", "http://r1/"});
    m_now += 3600;
    EXPECT_EQ(cache->answer("http://e/?q=a"), everyByte);
    EXPECT_TRUE(cache->returned("http://r2/"));
    EXPECT_FALSE(cache->returned("http://r3/"));
    EXPECT_FALSE(cache->answer("http://e/?q=b"));
    m_now += 1;
    EXPECT_FALSE(cache->answer("http://e/?q=a"));
    EXPECT_FALSE(cache->returned("http://r1/"));

    const auto keepsNothing = open(0s);
    keepsNothing->keepAnswer("http://e/", "x");
    keepsNothing->noteReturned({"http://r4/"});
    EXPECT_FALSE(keepsNothing->answer("http://e/"));
    EXPECT_FALSE(keepsNothing->returned("http://r4/"));
}

TEST_P(AnswerCacheTest, PastItsBoundTheOldestAnswersGoFirst) {
    const auto cache = open(24h, 4096);
    const std::string kilobyte(1024, 'k');
    for (int i = 0; i < 20; ++i) {
        ++m_now;
        cache->keepAnswer("http://e/" + std::to_string(i), kilobyte);
    }
    int kept = 0;
    for (int i = 0; i < 20; ++i) {
        kept += cache->answer("http://e/" + std::to_string(i)) ? 1 : 0;
    }
    EXPECT_LE(kept * 1024, 4096 + 4096 / 8 + 1024);
    EXPECT_TRUE(cache->answer("http://e/19"));
    EXPECT_FALSE(cache->answer("http://e/0"));
}

INSTANTIATE_TEST_SUITE_P(Stores, AnswerCacheTest, test::kBothStores, test::storeName);

// Two services on one database: what one fetched or gave out, the other finds. Addresses the
// database cannot hold as text are neither kept nor found, and fail nothing.
TEST(PgUpstreamCacheTest, ServicesOnOneDatabaseShareWhatTheyKept) {
    if (const std::string unavailable = test::PgTestDatabase::unavailable(); !unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    const test::PgTestDatabase database;
    PgUpstreamCache first{database.conninfo(), 1h, 2};
    PgUpstreamCache second{database.conninfo(), 1h, 2};
    first.keepAnswer("http://e/?q=a", "first's answer");
    first.noteReturned({"http://r/'; DROP TABLE upstream_returned;--"});
    EXPECT_EQ(second.answer("http://e/?q=a"), "first's answer");
    EXPECT_TRUE(second.returned("http://r/'; DROP TABLE upstream_returned;--"));
    second.keepAnswer("http://e/?q=a", "second's answer");
    EXPECT_EQ(first.answer("http://e/?q=a"), "second's answer");

    const std::string zero{"http://r/\0x", 11};
    const std::string notUtf8 = "http://r/\xff\xfe";
    first.keepAnswer(zero, "a");
    first.keepAnswer(notUtf8, "b");
    first.noteReturned({zero, notUtf8, "http://r/fine"});
    EXPECT_FALSE(second.answer(zero));
    EXPECT_FALSE(second.answer(notUtf8));
    EXPECT_FALSE(second.returned("http://r/"));
    EXPECT_FALSE(second.returned(notUtf8));
    EXPECT_TRUE(second.returned("http://r/fine"));
}

} // namespace
} // namespace tarvex::search
