// Searching the built-in corpus: ranking, paging, folding by host, safe search, markup. The
// same cases hold the local index and the index on PostgreSQL (on the test run's cluster).
#include "service/html_text.h"
#include "service/pg_index.h"
#include "service/search_index.h"
#include "support/store_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

namespace tarvex::search {
namespace {

class SearchIndexTest : public test::StoreTest {
protected:
    static void SetUpTestSuite() { s_corpus = readCorpus(bundledCorpusText()); }
    void SetUp() override {
        StoreTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        if (onPostgreSQL()) {
            auto index = std::make_unique<PgIndex>(database().conninfo(), 2);
            static_cast<void>(index->load(s_corpus));
            s_index = std::move(index);
        } else {
            s_index = std::make_unique<SearchIndex>(s_corpus, 2);
        }
    }
    void TearDown() override { s_index.reset(); }

    static SearchBackend& index() { return *s_index; }
    static SearchPage search(std::string_view query, std::int32_t start = 0,
                             std::int32_t count = 10, bool filter = true, bool safe = false) {
        return index().search(SearchRequest{query, start, count, filter, safe, {}});
    }
    static std::vector<std::string> urls(const SearchPage& page) {
        std::vector<std::string> list;
        for (const SearchHit& hit : page.hits) {
            list.push_back(hit.url);
        }
        return list;
    }
    static bool adult(const std::string& url) {
        return std::any_of(s_corpus.begin(), s_corpus.end(), [&](const Document& document) {
            return document.url == url && document.adult;
        });
    }

    static std::vector<Document> s_corpus;
    static std::unique_ptr<SearchBackend> s_index;
};

std::vector<Document> SearchIndexTest::s_corpus;
std::unique_ptr<SearchBackend> SearchIndexTest::s_index;

TEST_P(SearchIndexTest, TitleMatchesRankFirstAndTermsAreMarked) {
    const SearchPage page = search("shrdlu");
    ASSERT_GE(page.hits.size(), 2U);
    EXPECT_EQ(page.total, static_cast<std::int32_t>(page.hits.size()));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NE(page.hits[i].titleHtml.find("<b>SHRDLU</b>"), std::string::npos)
            << page.hits[i].titleHtml;
        EXPECT_NE(page.hits[i].snippetHtml.find("<b>SHRDLU</b>"), std::string::npos);
    }
    EXPECT_EQ(page.categories.front(), "Computers > Artificial Intelligence > History");
}

TEST_P(SearchIndexTest, PagesAreConsistentAndDoNotOverlap) {
    const SearchPage all = search("computing", 0, 100);
    ASSERT_GE(all.total, 30);
    std::vector<std::string> paged;
    for (std::int32_t start = 0; start < 30; start += 10) {
        const SearchPage page = search("computing", start, 10);
        EXPECT_EQ(page.total, all.total);
        ASSERT_EQ(page.hits.size(), 10U);
        const auto list = urls(page);
        paged.insert(paged.end(), list.begin(), list.end());
    }
    const auto expected = urls(all);
    EXPECT_TRUE(std::equal(paged.begin(), paged.end(), expected.begin()));
    EXPECT_EQ(std::set<std::string>(paged.begin(), paged.end()).size(), 30U);
    // Past the end there is nothing, but the total still holds.
    const SearchPage beyond = search("computing", all.total, 10);
    EXPECT_TRUE(beyond.hits.empty());
    EXPECT_EQ(beyond.total, all.total);
}

TEST_P(SearchIndexTest, FilterKeepsTwoPerHostAndNamesTheFoldedHost) {
    const SearchPage unfiltered = search("lisp", 0, 10, false);
    const SearchPage filtered = search("lisp", 0, 10, true);
    EXPECT_FALSE(unfiltered.filtered);
    EXPECT_TRUE(filtered.filtered);
    EXPECT_LT(filtered.total, unfiltered.total);
    int onLispHost = 0;
    int named = 0;
    for (const SearchHit& hit : filtered.hits) {
        if (hostOf(hit.url) == "lisp.example.org") {
            ++onLispHost;
            if (onLispHost == 2) {
                EXPECT_EQ(hit.hostName, "lisp.example.org");
            }
        }
        named += hit.hostName.empty() ? 0 : 1;
    }
    EXPECT_EQ(onLispHost, 2);
    EXPECT_EQ(named, 1);
    for (const SearchHit& hit : unfiltered.hits) {
        EXPECT_TRUE(hit.hostName.empty());
    }
}

TEST_P(SearchIndexTest, SafeSearchLeavesOutAdultDocuments) {
    const auto adults = [](const SearchPage& page) {
        return std::count_if(page.hits.begin(), page.hits.end(),
                             [](const SearchHit& hit) { return adult(hit.url); });
    };
    const SearchPage open = search("teletype", 0, 50, false, false);
    const SearchPage safe = search("teletype", 0, 50, false, true);
    EXPECT_EQ(adults(open), 1);
    EXPECT_EQ(adults(safe), 0);
    EXPECT_EQ(safe.total, open.total - 1);
}

TEST_P(SearchIndexTest, SiteNoHitsAndNothingToMatch) {
    const SearchPage site = search("computing site:example.org", 0, 10, false);
    ASSERT_FALSE(site.hits.empty());
    for (const SearchHit& hit : site.hits) {
        const std::string host = hostOf(hit.url);
        EXPECT_TRUE(host.ends_with(".example.org")) << host;
    }
    EXPECT_EQ(search("zyxwvut").total, 0);
    EXPECT_TRUE(search("zyxwvut").hits.empty());
    EXPECT_EQ(search("-lisp").total, 0);
    EXPECT_EQ(search("\"").total, 0);
}

TEST_P(SearchIndexTest, FindsStoredTextByAddress) {
    EXPECT_NE(index().cachedPage("http://shrdlu.example.org/").find("MacLisp"), std::string::npos);
    EXPECT_EQ(index().cachedPage("http://shrdlu.example.org"), "");
    // The database read the address only up to the zero byte and served that page.
    EXPECT_EQ(index().cachedPage(std::string{"http://shrdlu.example.org/"} + '\0' + "x"), "");
}

TEST_P(SearchIndexTest, ManyThreadsShareFewReaders) {
    const auto expected = urls(search("computing", 0, 10));
    std::vector<std::thread> threads;
    threads.reserve(8);
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                if (urls(search("computing", 0, 10)) != expected ||
                    index().suggest("teletyep") != "teletype") {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, SearchIndexTest, test::kBothStores, test::storeName);

TEST(MarkedHtmlTest, EscapesTextAndTurnsMarksIntoBold) {
    EXPECT_EQ(markedHtml("a < b & \"c\" \x01term\x02\nnext"),
              "a &lt; b &amp; &quot;c&quot; <b>term</b> next");
    EXPECT_EQ(markedHtml("<script>"), "&lt;script&gt;");
    // Unlike escapeHtml: the SOAP answers' titles and snippets carry an apostrophe as it is.
    EXPECT_EQ(markedHtml("it's"), "it's");
}

} // namespace
} // namespace tarvex::search
