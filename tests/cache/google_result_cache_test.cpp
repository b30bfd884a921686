#include "cache/google_result_cache.h"

#include "base/same_word.h"

#include <gtest/gtest.h>

#include <ctime>

namespace tarvex::cache {
namespace {

class FakeClock final : public Clock {
public:
    OleDate now() const override { return current; }
    OleDate current{45000.0, OleDate::kValid};
};

constexpr double kSecond = 1.0 / 86400.0;

SearchResultSet page(const std::string& url, std::int32_t total = 7) {
    SearchResultSet set;
    set.estimatedTotal = total;
    set.urls = {url};
    set.titles = {"<b>" + url + "</b>"};
    set.summaries = {""};
    set.snippets = {"snippet"};
    set.categoryNames = {"Top"};
    set.directoryTitles = {""};
    set.searchedAt = OleDate{45000.0, OleDate::kValid}; // the fake clock's start
    return set;
}

class ResultCacheTest : public ::testing::Test {
protected:
    FakeClock m_clock;
    CGoogleResultCacheArray m_cache{m_clock};
};

TEST_F(ResultCacheTest, WordsMatchWithoutRegardToCaseAndKeepTheirFirstForm) {
    m_cache.Store("Kelvin", page("http://a/"));
    SearchResultSet found;
    ASSERT_TRUE(m_cache.Lookup("KELVIN", found, false));
    EXPECT_EQ(found.urls[0], "http://a/");
    m_cache.Store("kelVIN", page("http://b/", 9));
    ASSERT_EQ(m_cache.GetCount(), 1);
    EXPECT_EQ(m_cache.GetWordAt(0), "Kelvin");
    ASSERT_TRUE(m_cache.Lookup("kelvin", found, false));
    EXPECT_EQ(found.urls[0], "http://b/");
    EXPECT_EQ(found.estimatedTotal, 9);
    EXPECT_FALSE(m_cache.Lookup("kelvins", found, true));
}

TEST_F(ResultCacheTest, NewEntriesAreStampedNowAndReplacedOnesWithThePageTime) {
    SearchResultSet first = page("u");
    first.searchedAt = OleDate{1.0, OleDate::kValid};
    m_cache.Store("w", first);
    SearchResultSet found;
    ASSERT_TRUE(m_cache.Lookup("w", found, false));
    EXPECT_EQ(found.searchedAt.days, 45000.0) << "a new entry takes the clock's time";
    SearchResultSet again = page("v");
    again.searchedAt = OleDate{45000.5, OleDate::kValid};
    m_cache.Store("w", again);
    ASSERT_TRUE(m_cache.Lookup("w", found, true));
    EXPECT_EQ(found.searchedAt.days, 45000.5);
}

TEST_F(ResultCacheTest, ExpiryToTheSecond) {
    m_cache.cacheLifeHours = 24;
    m_cache.Store("w", page("u")); // stamped 45000.0
    SearchResultSet found;
    m_clock.current.days = 45001.0;
    EXPECT_TRUE(m_cache.Lookup("w", found, false)) << "a day later to the second is still fresh";
    m_clock.current.days = 45001.0 + kSecond;
    EXPECT_FALSE(m_cache.Lookup("w", found, false));
    EXPECT_TRUE(m_cache.Lookup("w", found, true)) << "the browser sees stale entries";
    EXPECT_EQ(m_cache.GetCount(), 1) << "a stale entry is not removed";

    m_cache.cacheLifeHours = 0;
    m_clock.current.days = 45000.0 + 10 * kSecond;
    m_cache.Store("x", page("u"));
    EXPECT_TRUE(m_cache.Lookup("x", found, false)) << "the same second";
    m_clock.current.days += kSecond;
    EXPECT_FALSE(m_cache.Lookup("x", found, false));
}

TEST_F(ResultCacheTest, InvalidAndNegativeDates) {
    SearchResultSet set = page("u");
    m_cache.Store("w", set);
    set.searchedAt = OleDate{0.0, OleDate::kInvalid};
    m_cache.Store("w", set);
    SearchResultSet found;
    EXPECT_FALSE(m_cache.Lookup("w", found, false));
    EXPECT_TRUE(m_cache.Lookup("w", found, true));
    EXPECT_EQ(found.searchedAt.status, OleDate::kInvalid);

    EXPECT_EQ(continuousDays(-1.25), -0.75) << "1899-12-29 06:00 lies after 1899-12-29 00:00";
    EXPECT_EQ(continuousDays(-1.0), -1.0);
    EXPECT_EQ(continuousDays(2.5), 2.5);
}

TEST_F(ResultCacheTest, AppendKeepsDuplicatesAndCreatesMissingEntries) {
    m_cache.Store("w", page("u1", 10));
    SearchResultSet second = page("u1", 11);
    second.searchedAt = OleDate{45000.25, OleDate::kValid};
    m_cache.Append("W", second);
    SearchResultSet found;
    ASSERT_TRUE(m_cache.Lookup("w", found, true));
    ASSERT_EQ(found.urls.size(), 2U);
    EXPECT_EQ(found.urls[1], "u1") << "lists inside entries are not unique";
    EXPECT_EQ(found.titles.size(), 2U);
    EXPECT_EQ(found.estimatedTotal, 11);
    EXPECT_EQ(found.searchedAt.days, 45000.25);

    m_cache.Append("fresh", page("only"));
    ASSERT_TRUE(m_cache.Lookup("fresh", found, true));
    EXPECT_EQ(found.urls.size(), 1U);
    EXPECT_EQ(m_cache.GetWordAt(1), "fresh");
}

TEST_F(ResultCacheTest, DeletingAndIndexing) {
    m_cache.Store("a", page("1"));
    m_cache.Store("b", page("2"));
    m_cache.Store("c", page("3"));
    EXPECT_EQ(m_cache.GetWordAt(-1), "");
    EXPECT_EQ(m_cache.GetWordAt(3), "");
    EXPECT_EQ(m_cache.DeleteWords({"B", "b", "zzz"}), 1) << "a word listed twice is removed once";
    EXPECT_EQ(m_cache.GetCount(), 2);
    EXPECT_EQ(m_cache.GetWordAt(1), "c") << "the gap closes";
    EXPECT_FALSE(m_cache.DeleteWord("b"));
}

TEST(SerStringArrayTest, UniqueListsAndIndexes) {
    CSerStringArray list{"Alpha", "beta"};
    EXPECT_EQ(list.Find("ALPHA"), 0);
    EXPECT_EQ(list.Find("gamma"), -1);
    EXPECT_TRUE(list.AddUnique("alpha")) << "not unique: appended";
    list.unique = true;
    EXPECT_FALSE(list.AddUnique("BETA"));
    EXPECT_EQ(list.AppendUnique(CSerStringArray{"beta", "gamma", "Gamma"}), 1);
    EXPECT_EQ(list.size(), 4U);
    EXPECT_EQ(list.GetAtOrEmpty(3), "gamma");
    EXPECT_EQ(list.GetAtOrEmpty(4), "");
    EXPECT_EQ(list.GetAtOrEmpty(-1), "");
    EXPECT_EQ(list.AppendUnique(list), 0) << "a unique list has its own texts";
    list.unique = false;
    EXPECT_EQ(list.AppendUnique(list), 4);
    EXPECT_EQ(list.size(), 8U);
    EXPECT_EQ(list.GetAtOrEmpty(7), "gamma");
    EXPECT_TRUE(sameWord("caf\xC3\xA9", "caf\xC3\xA9"));
    EXPECT_FALSE(sameWord("caf\xC3\xA9", "cafe"));
}

TEST(SerStringArrayTest, ListsInAnArenaShareTheirTextsButNotTheirRoom) {
    using Texts = std::vector<std::string>;
    auto arena = std::make_shared<TextArena>(8);
    CSerStringArray list;
    ASSERT_TRUE(list.reserveIn(arena, 4, 9));
    list.add("abc");
    list.add("def");
    CSerStringArray copy = list;
    list.add("ghi"); // the last of the list's room
    copy.add("XYZ"); // a copy has none: its texts move to the heap
    EXPECT_EQ(list.toVector(), (Texts{"abc", "def", "ghi"}));
    EXPECT_EQ(copy.toVector(), (Texts{"abc", "def", "XYZ"}));
    EXPECT_EQ(copy, (CSerStringArray{"abc", "def", "XYZ"}));

    // A second list of the arena takes a slab of its own; the lists keep the arena.
    CSerStringArray second;
    ASSERT_TRUE(second.reserveIn(arena, 1, 5));
    second.add("jklmn");
    arena.reset();
    list.add("past the room");
    EXPECT_EQ(list.toVector(), (Texts{"abc", "def", "ghi", "past the room"}));
    EXPECT_EQ(second.toVector(), Texts{"jklmn"});
    CSerStringArray assigned;
    assigned = second;
    second.clear();
    second.add("new");
    EXPECT_EQ(assigned.toVector(), Texts{"jklmn"});
    EXPECT_EQ(second.toVector(), Texts{"new"});
}

TEST(OleDateTest, LocalTimesAsDayCounts) {
    std::tm noon{};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 11;
    noon.tm_mday = 8;
    noon.tm_hour = 12;
    EXPECT_EQ(oleDaysFromLocalTime(noon), 46364.5);
    std::tm epoch{};
    epoch.tm_year = -1;
    epoch.tm_mon = 11;
    epoch.tm_mday = 30;
    EXPECT_EQ(oleDaysFromLocalTime(epoch), 0.0);
    epoch.tm_mday = 29;
    epoch.tm_hour = 6;
    EXPECT_EQ(oleDaysFromLocalTime(epoch), -1.25);
    EXPECT_EQ(SystemClock{}.now().status, OleDate::kValid);
}

} // namespace
} // namespace tarvex::cache
