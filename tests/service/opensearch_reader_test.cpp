// OpenSearch answers of upstream engines, RSS and Atom, as engines really send them.
#include "service/opensearch_reader.h"

#include "soap/sax_reader.h"
#include "support/piecewise.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::search {
namespace {

constexpr std::string_view kRss = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:opensearch="http://a9.com/-/spec/opensearch/1.1/"
     xmlns:atom="http://www.w3.org/2005/Atom">
  <channel>
    <title>Example results for "lisp"</title>
    <link>https://engine.example/search?q=lisp</link>
    <description>Results</description>
    <opensearch:totalResults> 4230
    </opensearch:totalResults>
    <opensearch:startIndex>1</opensearch:startIndex>
    <opensearch:itemsPerPage>4230</opensearch:itemsPerPage>
    <atom:link rel="search" href="https://engine.example/osd.xml"/>
    <item>
      <title>
        Lisp (programming language)
      </title>
      <link> https://lisp.example/wiki </link>
      <description>A family of   programming languages.</description>
      <atom:link href="https://other.example/"/>
      <guid>https://lisp.example/wiki</guid>
    </item>
    <item>
      <title>No link here</title>
      <description>Kept all the same.</description>
    </item>
  </channel>
</rss>
)";

constexpr std::string_view kAtom = R"(<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom"
      xmlns:os="http://a9.com/-/spec/opensearchrss/1.0/">
  <title>Results</title>
  <link rel="self" href="https://engine.example/feed"/>
  <os:totalResults>17</os:totalResults>
  <entry>
    <title type="text">Self first</title>
    <link rel="self" href="https://engine.example/entry/1"/>
    <link rel="edit" href="https://engine.example/edit/1"/>
    <link rel="alternate" type="text/html" href="https://one.example/"/>
    <link href="https://later.example/"/>
    <summary>The summary wins.</summary>
    <content>Not this.</content>
  </entry>
  <entry>
    <content type="html">Content when there is no summary.</content>
    <link href=" https://two.example/ "/>
    <title>Content first</title>
  </entry>
  <entry>
    <title>Only other links</title>
    <link rel="enclosure" href="https://three.example/a.mp3"/>
    <link rel="http://www.iana.org/assignments/relation/alternate"
          href="https://three.example/"/>
  </entry>
  <entry>
    <title>None at all</title>
    <link rel="related" href="https://four.example/"/>
  </entry>
</feed>
)";

UpstreamPage mustRead(std::string_view body) {
    std::string error;
    std::optional<UpstreamPage> page = readOpenSearchAnswer(body, error);
    EXPECT_TRUE(page.has_value()) << error << "\n" << body.substr(0, 300);
    return page.value_or(UpstreamPage{});
}

std::string refusal(std::string_view body) {
    std::string error;
    const std::optional<UpstreamPage> page = readOpenSearchAnswer(body, error);
    EXPECT_FALSE(page.has_value()) << body.substr(0, 300);
    EXPECT_FALSE(error.empty());
    return error;
}

std::string rssWithTotal(std::string_view totalElements) {
    return R"(<rss version="2.0" xmlns:opensearch="http://a9.com/-/spec/opensearch/1.1/"><channel>)" +
           std::string{totalElements} + "<item><title>t</title></item></channel></rss>";
}

// Everything a read produced, as one comparable text.
std::string outcome(const std::optional<UpstreamPage>& page, const std::string& error) {
    if (!page) {
        return "refused: " + error;
    }
    std::string text = "total=" + (page->total ? std::to_string(*page->total) : "none");
    for (const UpstreamItem& item : page->items) {
        text += "\n[" + item.url + "|" + item.title + "|" + item.text + "]";
    }
    return text;
}

TEST(OpenSearchReaderTest, RssItemsAndTotalAreRead) {
    const UpstreamPage page = mustRead(kRss);
    EXPECT_EQ(page.total, 4230);
    ASSERT_EQ(page.items.size(), 2U);
    EXPECT_EQ(page.items[0].url, "https://lisp.example/wiki");
    EXPECT_EQ(page.items[0].title, "Lisp (programming language)");
    EXPECT_EQ(page.items[0].text, "A family of   programming languages.");
    EXPECT_EQ(page.items[1].url, "");
    EXPECT_EQ(page.items[1].title, "No link here");
    EXPECT_EQ(page.items[1].text, "Kept all the same.");
    EXPECT_TRUE(page.corrections.empty());
    EXPECT_TRUE(page.suggestions.empty());
}

TEST(OpenSearchReaderTest, AtomTakesTheAlternateLinkAndTheSummaryFirst) {
    const UpstreamPage page = mustRead(kAtom);
    EXPECT_EQ(page.total, 17); // the OpenSearch 1.0 namespace
    ASSERT_EQ(page.items.size(), 4U);
    EXPECT_EQ(page.items[0].url, "https://one.example/");
    EXPECT_EQ(page.items[0].title, "Self first");
    EXPECT_EQ(page.items[0].text, "The summary wins.");
    EXPECT_EQ(page.items[1].url, "https://two.example/");
    EXPECT_EQ(page.items[1].title, "Content first");
    EXPECT_EQ(page.items[1].text, "Content when there is no summary.");
    EXPECT_EQ(page.items[2].url, "https://three.example/");
    EXPECT_EQ(page.items[3].url, "");
    EXPECT_EQ(page.items[3].title, "None at all");
}

TEST(OpenSearchReaderTest, OnlyADecimalTotalIsATotal) {
    struct Row {
        std::string_view elements;
        std::optional<std::int64_t> total;
    };
    const Row rows[] = {
        {"", std::nullopt},
        {"<opensearch:startIndex>1</opensearch:startIndex>"
         "<opensearch:itemsPerPage>10</opensearch:itemsPerPage>",
         std::nullopt},
        {"<opensearch:totalResults>0</opensearch:totalResults>", 0},
        {"<opensearch:totalResults>\n\t 12 \r\n</opensearch:totalResults>", 12},
        {"<opensearch:totalResults>9223372036854775807</opensearch:totalResults>",
         9223372036854775807},
        {"<opensearch:totalResults>9223372036854775808</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>about 1,000</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>1,000</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>-3</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>+3</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>1e3</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>1 2</opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults></opensearch:totalResults>", std::nullopt},
        {"<opensearch:totalResults>&#x37;</opensearch:totalResults>", 7},
        // The first one counts, even when it is no number.
        {"<opensearch:totalResults>5</opensearch:totalResults>"
         "<opensearch:totalResults>6</opensearch:totalResults>",
         5},
        {"<opensearch:totalResults>n/a</opensearch:totalResults>"
         "<opensearch:totalResults>6</opensearch:totalResults>",
         std::nullopt},
        // Not the OpenSearch namespace.
        {"<totalResults>8</totalResults>", std::nullopt},
        {R"(<x:totalResults xmlns:x="http://a9.com/-/spec/opensearch/1.2/">8</x:totalResults>)",
         std::nullopt},
    };
    for (const Row& row : rows) {
        const UpstreamPage page = mustRead(rssWithTotal(row.elements));
        EXPECT_EQ(page.total, row.total) << row.elements;
        EXPECT_EQ(page.items.size(), 1U) << row.elements;
    }
    // Past the field cap the digits are not all there, so the number is not known.
    EXPECT_EQ(mustRead(rssWithTotal("<opensearch:totalResults>" +
                                    std::string(kMaxUpstreamTextBytes, '0') +
                                    "5</opensearch:totalResults>"))
                  .total,
              std::nullopt);
    // A total inside an item is no total of the answer.
    EXPECT_EQ(mustRead(R"(<rss xmlns:o="http://a9.com/-/spec/opensearch/1.1/"><channel><item>)"
                       "<o:totalResults>9</o:totalResults></item></channel></rss>")
                  .total,
              std::nullopt);
}

TEST(OpenSearchReaderTest, MarkupInTextStaysText) {
    const UpstreamPage page = mustRead(
        "<rss><channel><item>"
        "<title>&lt;b&gt;Bold&lt;/b&gt; &lt;script&gt;alert('x')&lt;/script&gt; &amp;amp;</title>"
        "<description><![CDATA[<p onclick=\"x()\">Para</p> & more]]></description>"
        "<link>https://a.example/?q=1&amp;r=2</link>"
        "</item><item>"
        "<title>Caf\xC3\xA9 &#x1F600; &#233;</title>"
        "<description>a <b>nested</b> <![CDATA[<i>]]>c</description>"
        "</item></channel></rss>");
    ASSERT_EQ(page.items.size(), 2U);
    EXPECT_EQ(page.items[0].title, "<b>Bold</b> <script>alert('x')</script> &amp;");
    EXPECT_EQ(page.items[0].text, "<p onclick=\"x()\">Para</p> & more");
    EXPECT_EQ(page.items[0].url, "https://a.example/?q=1&r=2");
    EXPECT_EQ(page.items[1].title, "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC3\xA9");
    // Elements inside a field give their text, not their tags.
    EXPECT_EQ(page.items[1].text, "a nested <i>c");
}

TEST(OpenSearchReaderTest, ALongFieldIsCutOnACharacterBoundary) {
    std::string euros;
    for (std::size_t i = 0; i < kMaxUpstreamTextBytes; ++i) {
        euros += "\xE2\x82\xAC"; // three bytes each
    }
    const UpstreamPage page =
        mustRead("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>  " + euros +
                 "</title><link href='" + euros + "'/><summary>x" + std::string(100000, ' ') +
                 "</summary></entry></feed>");
    ASSERT_EQ(page.items.size(), 1U);
    const std::size_t whole = kMaxUpstreamTextBytes / 3 * 3;
    EXPECT_EQ(page.items[0].title, euros.substr(0, whole));
    EXPECT_EQ(page.items[0].url, euros.substr(0, whole));
    EXPECT_EQ(page.items[0].text, "x");
}

TEST(OpenSearchReaderTest, WhatIsNotAFeedIsRefused) {
    EXPECT_EQ(refusal(""), "malformed XML");
    EXPECT_EQ(refusal("Service unavailable"), "malformed XML");
    EXPECT_EQ(refusal(R"({"results": []})"), "malformed XML");
    EXPECT_EQ(refusal("<rss><channel><item><title>cut off"), "malformed XML");
    EXPECT_EQ(refusal("<rss><channel></rss>"), "malformed XML");
    EXPECT_EQ(refusal("<rss><a:b/></rss>"), "malformed XML"); // unbound prefix
    EXPECT_EQ(refusal("<html><body>Blocked</body></html>"), "not an RSS or Atom document");
    EXPECT_EQ(refusal("<feed><entry/></feed>"), "not an RSS or Atom document");
    EXPECT_EQ(refusal("<rss xmlns='http://www.w3.org/2005/Atom'/>"), "not an RSS or Atom document");
    EXPECT_EQ(refusal("<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/>"),
              "not an RSS or Atom document");
}

TEST(OpenSearchReaderTest, DoctypesAndDeepNestingAreRefused) {
    EXPECT_EQ(refusal("<!DOCTYPE rss><rss><channel/></rss>"), "malformed XML");
    EXPECT_EQ(refusal("<!DOCTYPE rss [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>"
                      "<rss><channel><item><title>&b;&b;&b;</title></item></channel></rss>"),
              "malformed XML");
    EXPECT_EQ(refusal("<!DOCTYPE rss SYSTEM 'file:///etc/passwd'><rss><channel><item><title>"
                      "&x;</title></item></channel></rss>"),
              "malformed XML");
    // An entity that was never declared.
    EXPECT_EQ(refusal("<rss><channel><item><title>&x;</title></item></channel></rss>"),
              "malformed XML");

    auto nested = [](int depth) {
        std::string open = "<rss><channel><item><description>";
        std::string close;
        for (int i = 4; i < depth; ++i) {
            open += "<d>";
            close += "</d>";
        }
        return open + "deep" + close + "</description></item></channel></rss>";
    };
    EXPECT_EQ(mustRead(nested(soap::SaxReader::kMaxElementDepth)).items.at(0).text, "deep");
    EXPECT_EQ(refusal(nested(soap::SaxReader::kMaxElementDepth + 1)), "malformed XML");
    EXPECT_EQ(refusal(nested(100000)), "malformed XML");
}

TEST(OpenSearchReaderTest, TooManyItemsOrBytesAreRefused) {
    auto items = [](std::size_t count) {
        std::string body = "<rss><channel>";
        for (std::size_t i = 0; i < count; ++i) {
            body += "<item><link>https://a.example/" + std::to_string(i) + "</link></item>";
        }
        return body + "</channel></rss>";
    };
    const UpstreamPage full = mustRead(items(kMaxUpstreamItems));
    ASSERT_EQ(full.items.size(), kMaxUpstreamItems);
    EXPECT_EQ(full.items.back().url, "https://a.example/" + std::to_string(kMaxUpstreamItems - 1));
    EXPECT_EQ(refusal(items(kMaxUpstreamItems + 1)), "too many items");

    std::string large = "<rss><channel><item><title>";
    large += std::string(kMaxUpstreamBytes - large.size() - 32, 'x');
    large += "</title></item></channel></rss>";
    ASSERT_LE(large.size(), kMaxUpstreamBytes);
    EXPECT_EQ(mustRead(large).items.size(), 1U);
    large.insert(0, "  ");
    EXPECT_EQ(refusal(large), "answer too large");
    // From a stream, the bytes are counted as they come.
    test::PieceStream stream{large, 4096};
    std::string error;
    EXPECT_FALSE(readOpenSearchAnswer(stream, error).has_value());
    EXPECT_EQ(error, "answer too large");
}

TEST(OpenSearchReaderTest, AnswersReadTheSameInPieces) {
    const std::string_view bodies[] = {kRss, kAtom, "<html/>", "<rss><channel><item>"};
    for (const std::string_view body : bodies) {
        EXPECT_TRUE(test::sameWholeAndInPieces(body, [](soap::ByteStream& stream) {
            std::string error;
            const std::optional<UpstreamPage> page = readOpenSearchAnswer(stream, error);
            return outcome(page, error);
        }));
    }
}

} // namespace
} // namespace tarvex::search
