// The service's web pages built in-process: the same results as the SOAP answer, nothing from
// the query or the corpus turned into markup, the bounds, what the key page says, and the
// window's help and more-tools pages.
#include "service/web_pages.h"

#include "base/code_page.h"
#include "service/html_text.h"
#include "service/query_string.h"
#include "service/search_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace tarvex::search {
namespace {

std::size_t count(const std::string& text, std::string_view part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

class WebPagesTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_index = std::make_unique<SearchIndex>(readCorpus(bundledCorpusText()), 1);
    }
    static void TearDownTestSuite() { s_index.reset(); }

    static WebPage search(const std::string& queryString) {
        return WebPages{*s_index, KeyRules{}}.search(queryString);
    }

    static std::unique_ptr<SearchIndex> s_index;
};

std::unique_ptr<SearchIndex> WebPagesTest::s_index;

TEST_F(WebPagesTest, ResultsAreTheSoapAnswersInItsOrder) {
    const WebPage page = search("q=lisp&meta=lr%3D%26hl%3Den&btnG=Google+Search");
    ASSERT_EQ(page.status, 200);
    const SearchPage soap = s_index->search(SearchRequest{"lisp", 0, 10, true, false, {}});
    ASSERT_GE(soap.hits.size(), 3U);
    EXPECT_NE(page.html.find("of " + std::to_string(soap.total) + " for <b>lisp</b>"),
              std::string::npos)
        << page.html;
    std::size_t previous = 0;
    for (const SearchHit& hit : soap.hits) {
        // The title as the SOAP answer carries it, marks included, as the link's text.
        const std::string link =
            "<a href=\"" + escapeHtml(hit.url) + "\">" + hit.titleHtml + "</a>";
        const auto at = page.html.find(link);
        ASSERT_NE(at, std::string::npos) << link;
        EXPECT_GT(at, previous) << link;
        previous = at;
        EXPECT_NE(page.html.find(hit.snippetHtml), std::string::npos) << hit.snippetHtml;
    }
    EXPECT_NE(page.html.find("<b>Lisp</b>"), std::string::npos);
    EXPECT_EQ(count(page.html, "<li>"), soap.hits.size());
}

TEST_F(WebPagesTest, BlanksArriveInEveryForm) {
    const std::string expected = search("q=shrdlu+maclisp").html;
    EXPECT_NE(expected.find("SHRDLU"), std::string::npos);
    EXPECT_EQ(search("q=shrdlu%20maclisp").html, expected);
    EXPECT_EQ(search("q=shrdlu maclisp").html, expected);
}

TEST_F(WebPagesTest, AHostileQueryIsEscapedEverywhere) {
    // Results for "computing", and the hostile part in the title, the form, the heading and the
    // links.
    const WebPage page = search("q=computing+-%3Cscript%3E%22%26%27");
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.html.find("<script"), std::string::npos) << page.html;
    EXPECT_EQ(page.html.find("\"&'"), std::string::npos);
    const std::string escaped = "computing -&lt;script&gt;&quot;&amp;&#39;";
    EXPECT_NE(page.html.find("<title>" + escaped), std::string::npos) << page.html;
    EXPECT_NE(page.html.find("value=\"" + escaped + "\""), std::string::npos);
    EXPECT_NE(page.html.find("for <b>" + escaped + "</b></h1>"), std::string::npos);
    EXPECT_NE(page.html.find("href=\"/search?q=computing+-%3Cscript%3E%22%26%27&amp;start=10\""),
              std::string::npos);
    // Without results the heading still shows it escaped.
    const WebPage none = search("q=%3Cscript%3E%22%26%27");
    EXPECT_NE(none.html.find("No results for <b>&lt;script&gt;&quot;&amp;&#39;</b>"),
              std::string::npos)
        << none.html;
    EXPECT_EQ(none.html.find("<script"), std::string::npos);
}

TEST_F(WebPagesTest, EmptyQueryGivesOnlyTheForm) {
    for (const std::string queryString : {"", "q=", "q=+++", "btnG=Google+Search"}) {
        const WebPage page = search(queryString);
        EXPECT_EQ(page.status, 200);
        EXPECT_NE(page.html.find("<form action=\"/search\""), std::string::npos) << queryString;
        EXPECT_EQ(page.html.find("<h1>"), std::string::npos) << queryString;
        EXPECT_EQ(page.html.find("No results"), std::string::npos) << queryString;
    }
}

TEST_F(WebPagesTest, NoResultsSaysSo) {
    const WebPage page = search("q=zyxwvut");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.html.find("No results for <b>zyxwvut</b>"), std::string::npos) << page.html;
    EXPECT_EQ(page.html.find("<ol"), std::string::npos);
}

TEST_F(WebPagesTest, PagingFollowsStartWithinBounds) {
    const SearchPage soap = s_index->search(SearchRequest{"computing", 0, 10, true, false, {}});
    ASSERT_GT(soap.total, 20);
    const WebPage second = search("q=computing&start=10");
    EXPECT_NE(second.html.find("Results 11 - 20 of " + std::to_string(soap.total)),
              std::string::npos);
    EXPECT_NE(second.html.find("<ol start=\"11\">"), std::string::npos);
    EXPECT_NE(second.html.find("href=\"/search?q=computing\">Previous"), std::string::npos);
    EXPECT_NE(second.html.find("href=\"/search?q=computing&amp;start=20\">Next"),
              std::string::npos);
    // Anything that is not a plain number starts at the top.
    for (const std::string start : {"-5", "abc", "1e3", "", "10x"}) {
        EXPECT_NE(search("q=computing&start=" + start).html.find("Results 1 - 10"),
                  std::string::npos)
            << start;
    }
    // Past the end, and past the deepest page, the page says so instead of failing.
    for (const std::string start : {"980", "99999999999999999999"}) {
        const WebPage page = search("q=computing&start=" + start);
        EXPECT_EQ(page.status, 200);
        EXPECT_NE(page.html.find("No results on this page"), std::string::npos) << start;
    }
}

TEST_F(WebPagesTest, TheLimitOfTheQueryIsInBytes) {
    const std::string atLimit(2048, 'a');
    EXPECT_EQ(search("q=" + atLimit).status, 200);
    const WebPage over = search("q=" + atLimit + "a");
    EXPECT_EQ(over.status, 414);
    EXPECT_NE(over.html.find("longer than 2048 bytes"), std::string::npos);
    EXPECT_EQ(over.html.find(atLimit), std::string::npos);
    // 683 bad bytes, each shown as U+FFFD in three: over the limit once replaced.
    std::string bad;
    for (int i = 0; i < 683; ++i) {
        bad += "%FF";
    }
    EXPECT_EQ(search("q=" + bad).status, 414);
}

TEST_F(WebPagesTest, TheQueryIsShownAsValidUtf8WithoutControls) {
    const WebPage page = search("q=caf%C3%A9%FF%00%1Bx");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.html.find("value=\"caf\xC3\xA9\xEF\xBF\xBD  x\""), std::string::npos)
        << page.html;
    EXPECT_EQ(utf16ToCodePage(codePageToUtf16(page.html)), page.html);
}

TEST_F(WebPagesTest, AFoldedHostLinksToItsOtherResults) {
    const SearchPage soap = s_index->search(SearchRequest{"lisp", 0, 10, true, false, {}});
    const auto folded = std::find_if(soap.hits.begin(), soap.hits.end(),
                                     [](const SearchHit& hit) { return !hit.hostName.empty(); });
    ASSERT_NE(folded, soap.hits.end());
    const std::string link = "<a href=\"/search?q=site%3A" +
                             encodeQueryComponent(folded->hostName) + "+lisp\">More results from " +
                             folded->hostName + "</a>";
    EXPECT_NE(search("q=lisp").html.find(link), std::string::npos) << link;
}

TEST(WebPagesCorpusTest, NothingFromTheCorpusBecomesMarkup) {
    SearchIndex index{
        {Document{"http://a.example/?x=1&y=\"2\"", "<script>alert(1)</script> gopher menus", "",
                  "An <img src=x onerror=alert(2)> gopher body", "", "", false},
         Document{"javascript:alert(3)//http://b.example/", "A gopher trap", "", "gopher", "", "",
                  false},
         Document{"HTTPS://C.example/", "Gopher in capitals", "", "gopher", "", "", false}},
        1};
    const WebPage page = WebPages{index, KeyRules{}}.search("q=gopher");
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.html.find("<script>"), std::string::npos) << page.html;
    EXPECT_EQ(page.html.find("<img"), std::string::npos);
    EXPECT_NE(page.html.find("&lt;script&gt;alert(1)&lt;/script&gt; <b>gopher</b>"),
              std::string::npos)
        << page.html;
    EXPECT_NE(page.html.find("href=\"http://a.example/?x=1&amp;y=&quot;2&quot;\""),
              std::string::npos);
    // Only http, https and ftp addresses become links; the others are shown as text.
    EXPECT_EQ(page.html.find("href=\"javascript"), std::string::npos);
    EXPECT_NE(page.html.find("<li>A <b>gopher</b> trap<div"), std::string::npos);
    EXPECT_NE(page.html.find("href=\"HTTPS://C.example/\""), std::string::npos);
}

// Corpus bytes 0x01 and 0x02 became real <b> and </b>, unbalanced.
TEST(WebPagesCorpusTest, MarkBytesInTheCorpusMakeNoMarkup) {
    SearchIndex index{{Document{"http://a.example/", "\x01opened gopher", "",
                                "never \x02 closed gopher", "", "", false}},
                      1};
    const SearchPage page = index.search(SearchRequest{"gopher", 0, 10, true, false, {}});
    ASSERT_EQ(page.hits.size(), 1U);
    EXPECT_EQ(page.hits[0].titleHtml, " opened <b>gopher</b>");
    EXPECT_EQ(page.hits[0].snippetHtml, "never   closed <b>gopher</b>");
    const std::string html = WebPages{index, KeyRules{}}.search("q=gopher").html;
    EXPECT_NE(html.find(" opened <b>gopher</b>"), std::string::npos) << html;
}

TEST(WebPagesKeysTest, TheKeyPageSaysWhichKeysAndHowMany) {
    SearchIndex index{{}, 1};
    const std::string open = WebPages{index, KeyRules{}}.keys().html;
    EXPECT_NE(open.find("accepts any key that is not empty"), std::string::npos) << open;
    EXPECT_NE(open.find("no daily limit"), std::string::npos);
    EXPECT_EQ(open.find("--keys"), std::string::npos);

    const WebPage listed = WebPages{index, KeyRules{true, 250}}.keys();
    EXPECT_EQ(listed.status, 200);
    EXPECT_NE(listed.html.find("only the keys listed in the keys file"), std::string::npos);
    EXPECT_NE(listed.html.find("250 searches per UTC day"), std::string::npos);
    EXPECT_EQ(listed.html.find("any key"), std::string::npos);
    const WebPage once = WebPages{index, KeyRules{false, 1}}.keys();
    EXPECT_NE(once.html.find("1 search per UTC day"), std::string::npos);
}

// The window's pages.

std::string titleOf(const std::string& html) {
    const auto start = html.find("<title>");
    const auto end = html.find("</title>");
    if (start == std::string::npos || end == std::string::npos || end < start) {
        return {};
    }
    return html.substr(start + 7, end - start - 7);
}

TEST(WebPagesWindowTest, TheHelpPageDescribesTheWindow) {
    const WebPage page = WebPages::windowPage("from=tarvex&page=help&version=100100602");
    ASSERT_EQ(page.status, 200) << page.html;
    EXPECT_EQ(titleOf(page.html), "Help");
    EXPECT_TRUE(page.html.starts_with("<!DOCTYPE html>\n<html lang=\"en\">")) << page.html;
    for (const std::string part :
         {"<h1>", "License Key", "Search in Browser", "Selected URLs", "Spread Sheet Mode",
          "Wipe Cache", "Shift+F10", "Escape", "<a href=\"/search\">"}) {
        EXPECT_NE(page.html.find(part), std::string::npos) << part;
    }
    // The version is ignored, and only the first "page" counts.
    EXPECT_EQ(WebPages::windowPage("page=help&version=%3Cjunk%3E").html, page.html);
    EXPECT_EQ(WebPages::windowPage("page=help&page=more").html, page.html);
}

TEST(WebPagesWindowTest, TheMoreToolsPageShowsTheToolAndTheService) {
    const WebPage page = WebPages::windowPage("from=tarvex&page=more&version=100100602");
    ASSERT_EQ(page.status, 200) << page.html;
    EXPECT_EQ(titleOf(page.html), "More tools");
    EXPECT_NE(page.html.find("<code>tarvex search QUERY</code>"), std::string::npos);
    EXPECT_NE(page.html.find("<code>tarvex-service --listen 127.0.0.1:8080</code>"),
              std::string::npos);
}

TEST(WebPagesWindowTest, AnyOtherPageIsNotFoundAndNothingOfTheQueryIsShown) {
    for (const std::string queryString :
         {"", "page=", "page", "from=tarvex&version=100100602", "page=HELP", "page=help2",
          "page=%3Cscript%3E", "page=help%00", "page=%FF%FE", "page=+help"}) {
        const WebPage page = WebPages::windowPage(queryString);
        EXPECT_EQ(page.status, 404) << queryString;
        EXPECT_EQ(titleOf(page.html), "Not found") << queryString;
        EXPECT_EQ(page.html.find("script"), std::string::npos) << queryString;
    }
}

TEST(WebPagesWindowTest, AHugeOrRepeatedQueryIsAnsweredAsAnyOther) {
    std::string repeated;
    std::string junk = "page=";
    while (repeated.size() < (std::size_t{1} << 20)) {
        repeated += "page=%&";
        junk += "%FF%%2";
    }
    EXPECT_EQ(WebPages::windowPage(repeated).status, 404);
    EXPECT_EQ(WebPages::windowPage(repeated + "page=help").status, 404);
    EXPECT_EQ(WebPages::windowPage(junk).status, 404);
    EXPECT_EQ(WebPages::windowPage(junk + "&page=help").status, 404);
    const WebPage first = WebPages::windowPage("page=more&" + repeated);
    EXPECT_EQ(first.status, 200);
    EXPECT_LT(first.html.size(), std::size_t{64} << 10);
}

TEST(WebPagesEscapeTest, EveryCharacterThatEndsTextOrAnAttributeIsEscaped) {
    EXPECT_EQ(escapeHtml("<a href=\"x\" title='y'>&amp;</a>"),
              "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;amp;&lt;/a&gt;");
    EXPECT_EQ(escapeHtml("caf\xC3\xA9"), "caf\xC3\xA9");
}

} // namespace
} // namespace tarvex::search
