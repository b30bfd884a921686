#include "service/term_marks.h"

#include "service/search_index.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

// Texts from elsewhere are marked exactly as the index marks the same texts as titles.
TEST(TermMarksTest, MarksMatchTheIndexToTheLetter) {
    const std::vector<std::string> titles{
        "Gopher menus and the Café gopher", "Über-Gopher: GOPHER's menus, gophers",
        "<b>gopher</b> & \"menus\"", "A phrase: gopher menus, then menus gopher"};
    std::vector<Document> documents;
    for (const std::string& title : titles) {
        documents.push_back({"http://" + std::to_string(documents.size()) + ".example/", title, "",
                             "body", "", "", false});
    }
    SearchIndex index{documents, 1};
    TermMarker marker;
    for (const std::string query :
         {"gopher", "cafe OR uber", "\"gopher menus\"", "menus OR cafe", "gopher -uber"}) {
        const SearchPage page = index.search(SearchRequest{query, 0, 10, false, false, {}});
        ASSERT_FALSE(page.hits.empty()) << query;
        for (const SearchHit& hit : page.hits) {
            const std::size_t n = static_cast<std::size_t>(hit.url[7] - '0');
            EXPECT_EQ(marker.mark(query, {{titles[n], ""}}).front().title, hit.titleHtml)
                << query << " in " << titles[n];
        }
    }
}

TEST(TermMarksTest, TextsThatHoldSomeOfTheWordsAreMarkedAndTheRestEscaped) {
    TermMarker marker;
    const auto marked = marker.mark(
        "gopher menus", {{"Only gopher here", "\x01<i>menus</i>\x02"}, {"nothing", "at all"}});
    ASSERT_EQ(marked.size(), 2U);
    EXPECT_EQ(marked[0].title, "Only <b>gopher</b> here");
    EXPECT_EQ(marked[0].text, " &lt;i&gt;<b>menus</b>&lt;/i&gt; ");
    EXPECT_EQ(marked[1].title, "nothing");
    // Nothing to look for: escaped only.
    EXPECT_EQ(marker.mark("-gopher", {{"a<b", "gopher"}}).front().title, "a&lt;b");
}

} // namespace
} // namespace tarvex::search
