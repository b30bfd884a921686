// The answer cache in a SQLite file and in a PostgreSQL database (on the test run's cluster):
// the same cases hold both.
#include "service/pg_upstream_cache.h"
#include "service/upstream_cache.h"
#include "support/store_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarvex::search {
namespace {

using namespace std::chrono_literals;

class AnswerCacheTest : public test::StoreTest {
protected:
    void TearDown() override {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(m_file.string() + suffix);
        }
    }

    // A cache on the test's store (a file of its own or a database); every one made by a test
    // shares it, as services do.
    std::unique_ptr<AnswerCache> open(std::chrono::seconds timeToLive,
                                      std::int64_t maxBytes = AnswerCache::kDefaultMaxBytes) {
        const auto clock = [this] { return m_now; };
        if (onPostgreSQL()) {
            return std::make_unique<PgUpstreamCache>(database().conninfo(), timeToLive, 2, clock,
                                                     maxBytes);
        }
        return std::make_unique<UpstreamCache>(m_file.string(), timeToLive, clock, maxBytes);
    }

    std::int64_t m_now = 1'000'000;
    const std::filesystem::path m_file = std::filesystem::path{testing::TempDir()} /
                                         ("answer_cache_" + std::to_string(::getpid()) + ".sqlite");
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

// The database's index took no entry of 3 kB, and its text no zero byte or other than UTF-8:
// such addresses were lost there, and a page noted with one lost all its addresses.
TEST_P(AnswerCacheTest, AnyAddressIsKeptAsTheFileKeepsIt) {
    const auto cache = open(1h);
    std::string longUrl = "http://e/?q=";
    std::uint32_t state = 12345;
    while (longUrl.size() < 6000) {
        state = state * 1103515245U + 12345U;
        longUrl += "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"[state >> 26];
    }
    const std::string zero{"http://r/\0x", 11};
    const std::string notUtf8 = "http://r/\xff\xfe";
    for (const std::string& url : {longUrl, zero, notUtf8}) {
        cache->keepAnswer(url, "answer of " + url);
    }
    cache->noteReturned({"http://r/fine", longUrl, zero, notUtf8});
    for (const std::string& url : {longUrl, zero, notUtf8}) {
        EXPECT_EQ(cache->answer(url), "answer of " + url);
        EXPECT_TRUE(cache->returned(url));
    }
    EXPECT_TRUE(cache->returned("http://r/fine"));
    EXPECT_FALSE(cache->returned("http://r/"));
    EXPECT_FALSE(cache->answer("http://r/"));

    // More addresses than a statement takes parameters.
    constexpr int kMany = 70000;
    std::vector<std::string> many;
    many.reserve(kMany);
    for (int i = 0; i < kMany; ++i) {
        many.push_back("http://m/" + std::to_string(i));
    }
    cache->noteReturned(many);
    EXPECT_TRUE(cache->returned(many.front()));
    EXPECT_TRUE(cache->returned(many.back()));
}

// Regression: a service started with a time to live of nought swept every answer and address
// the others had kept in the file.
TEST_P(AnswerCacheTest, AServiceThatKeepsNothingLeavesTheOthersWhatTheyKept) {
    const auto keeping = open(1h);
    keeping->keepAnswer("http://e/", "kept");
    keeping->noteReturned({"http://r/"});
    m_now += 60;
    const auto keepsNothing = open(0s);
    EXPECT_EQ(keeping->answer("http://e/"), "kept");
    EXPECT_TRUE(keeping->returned("http://r/"));
}

INSTANTIATE_TEST_SUITE_P(Stores, AnswerCacheTest, test::kBothStores, test::storeName);

// Two services on one database: what one fetched or gave out, the other finds.
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
}

} // namespace
} // namespace tarvex::search
