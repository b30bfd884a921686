// SearXNG's JSON answers: the usual shape, its quirks and answers of every wrong type.
#include "service/searxng_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::search {
namespace {

// An answer as SearXNG gives it with format=json, members it has and the reader skips included.
constexpr std::string_view kAnswer = R"({
  "query": "lisp",
  "number_of_results": 0,
  "results": [
    {
      "url": "https://lisp.example/wiki",
      "title": "  Lisp (programming language)\n",
      "content": "A family of   programming languages.",
      "engine": "wikipedia",
      "parsed_url": ["https", "lisp.example", "/wiki", "", "", ""],
      "template": "default.html",
      "engines": ["wikipedia", "duckduckgo"],
      "positions": [1, 3],
      "score": 4.5,
      "category": "general"
    },
    {
      "url": "https://common-lisp.example/",
      "title": "Common Lisp",
      "engine": "duckduckgo",
      "publishedDate": null
    }
  ],
  "answers": [],
  "corrections": ["lisb"],
  "infoboxes": [{"infobox": "Lisp", "content": "...", "urls": [{"title": "x", "url": "y"}]}],
  "suggestions": ["lisp tutorial", "common lisp", "scheme"],
  "unresponsive_engines": [["google", "timeout"]]
})";

UpstreamPage mustRead(std::string_view body) {
    std::string error;
    std::optional<UpstreamPage> page = readSearxngAnswer(body, error);
    EXPECT_TRUE(page.has_value()) << error << "\n" << body.substr(0, 300);
    return page.value_or(UpstreamPage{});
}

std::string refusal(std::string_view body) {
    std::string error;
    const std::optional<UpstreamPage> page = readSearxngAnswer(body, error);
    EXPECT_FALSE(page.has_value()) << body.substr(0, 300);
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(SearxngReaderTest, AnAnswerIsRead) {
    const UpstreamPage page = mustRead(kAnswer);
    ASSERT_EQ(page.items.size(), 2U);
    EXPECT_EQ(page.items[0].url, "https://lisp.example/wiki");
    EXPECT_EQ(page.items[0].title, "Lisp (programming language)");
    EXPECT_EQ(page.items[0].text, "A family of   programming languages.");
    EXPECT_EQ(page.items[1].url, "https://common-lisp.example/");
    EXPECT_EQ(page.items[1].title, "Common Lisp");
    EXPECT_EQ(page.items[1].text, "");
    // SearXNG's 0 beside results means it had no count.
    EXPECT_EQ(page.total, std::nullopt);
    EXPECT_EQ(page.corrections, std::vector<std::string>{"lisb"});
    EXPECT_EQ(page.suggestions,
              (std::vector<std::string>{"lisp tutorial", "common lisp", "scheme"}));
}

TEST(SearxngReaderTest, OnlyAWholeNonNegativeCountIsATotal) {
    struct Row {
        std::string_view count;
        std::string_view results;
        std::optional<std::int64_t> total;
    };
    const Row rows[] = {
        {"123", "[]", 123},
        {"123", R"([{"url": "u"}])", 123},
        {"0", "[]", 0},
        {"0", R"([{"url": "u"}])", std::nullopt},
        {"0.0", R"([{"url": "u"}])", std::nullopt},
        {"1.5e3", "[]", 1500},
        {"2.5", "[]", std::nullopt},
        {"-1", "[]", std::nullopt},
        {"-0.0", "[]", 0},
        {"9223372036854775807", "[]", 9223372036854775807},
        {"9223372036854775808", "[]", std::nullopt},
        {"18446744073709551615", "[]", std::nullopt},
        {"1e300", "[]", std::nullopt},
        {"\"123\"", "[]", std::nullopt},
        {"null", "[]", std::nullopt},
        {"true", "[]", std::nullopt},
        {"[123]", "[]", std::nullopt},
        {"{\"n\": 1}", "[]", std::nullopt},
    };
    for (const Row& row : rows) {
        const std::string body = R"({"number_of_results": )" + std::string{row.count} +
                                 R"(, "results": )" + std::string{row.results} + "}";
        EXPECT_EQ(mustRead(body).total, row.total) << body;
    }
    EXPECT_EQ(mustRead(R"({"results": []})").total, std::nullopt);
}

TEST(SearxngReaderTest, CorrectionsAndSuggestionsKeepOnlyTheirStrings) {
    const UpstreamPage page = mustRead(R"({"results": [],
        "corrections": [{"url": "?q=lisp", "title": "lisp"}, " lisp ", ["nested"], 3, "", "lips"],
        "suggestions": ["a", null, false, 1.5, {"s": "b"}, "  ", "\u00e9t\u00e9", "c"]})");
    EXPECT_EQ(page.corrections, (std::vector<std::string>{"lisp", "lips"}));
    EXPECT_EQ(page.suggestions, (std::vector<std::string>{"a", "\xC3\xA9t\xC3\xA9", "c"}));

    const UpstreamPage none =
        mustRead(R"({"results": [], "corrections": "lisp", "suggestions": {"0": "a"}})");
    EXPECT_TRUE(none.corrections.empty());
    EXPECT_TRUE(none.suggestions.empty());
}

TEST(SearxngReaderTest, WrongTypesAreSkippedOrEmpty) {
    const UpstreamPage page = mustRead(R"({"results": [
        1, "https://a.example/", null, [{"url": "https://b.example/"}],
        {"url": 5, "title": ["t"], "content": {"text": "c"}},
        {"url": null, "title": true, "content": 1e3},
        {},
        {"url": "https://c.example/", "title": "C", "content": "c"}
    ]})");
    ASSERT_EQ(page.items.size(), 4U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(page.items[i].url, "") << i;
        EXPECT_EQ(page.items[i].title, "") << i;
        EXPECT_EQ(page.items[i].text, "") << i;
    }
    EXPECT_EQ(page.items[3].url, "https://c.example/");
    EXPECT_EQ(page.items[3].title, "C");
    EXPECT_EQ(page.items[3].text, "c");

    EXPECT_EQ(refusal("{}"), "no results array");
    EXPECT_EQ(refusal(R"({"results": null})"), "no results array");
    EXPECT_EQ(refusal(R"({"results": {"0": {"url": "u"}}})"), "no results array");
    EXPECT_EQ(refusal(R"({"results": "none"})"), "no results array");
    EXPECT_EQ(refusal(R"({"Results": []})"), "no results array");
    EXPECT_EQ(refusal(R"([{"results": []}])"), "no results array");
    EXPECT_EQ(refusal(R"("results")"), "no results array");
    EXPECT_EQ(refusal("42"), "no results array");
    EXPECT_EQ(refusal("null"), "no results array");
}

TEST(SearxngReaderTest, WhatIsNoJsonIsRefused) {
    const std::string_view bodies[] = {
        "",
        "   ",
        "<html><body>Too many requests</body></html>",
        R"({"results": [})",
        R"({"results": []} trailing)",
        R"({"results": [],})",
        R"({'results': []})",
        R"({"results": [], /* comment */ "query": "q"})",
        R"({"results": [{"title": "\ud800"}]})",
        "{\"results\": [{\"title\": \"\xC3\x28\"}]}",
        "{\"results\": [{\"title\": \"tab\there\"}]}",
        R"({"results": [], "number_of_results": NaN})",
        R"({"results": [], "number_of_results": 1e999})",
        "]]]]{\"results\": []}",
    };
    for (const std::string_view body : bodies) {
        EXPECT_EQ(refusal(body), "not a JSON answer") << body;
    }
}

TEST(SearxngReaderTest, DeepNestingIsRefusedBeforeParsing) {
    auto nested = [](int depth) {
        // The top-level object and the results array are two levels.
        return R"({"results": [{"title": "t", "extra": )" + std::string(depth - 3, '[') +
               std::string(depth - 3, ']') + "}]}";
    };
    EXPECT_EQ(mustRead(nested(kMaxSearxngNesting)).items.size(), 1U);
    EXPECT_EQ(refusal(nested(kMaxSearxngNesting + 1)), "nested too deep");
    EXPECT_EQ(refusal(std::string(1000000, '[')), "nested too deep");
    EXPECT_EQ(refusal(std::string(500000, '{') + std::string(500000, '}')), "nested too deep");
    // Brackets in strings, escaped quotes among them, do not nest.
    const UpstreamPage page = mustRead(R"({"results": [{"title": "[[[\"{{{{\\"}],
        "suggestions": [")" + std::string(1000, '[') +
                                       R"("]})");
    ASSERT_EQ(page.items.size(), 1U);
    EXPECT_EQ(page.items[0].title, R"([[["{{{{\)");
    EXPECT_EQ(page.suggestions, std::vector<std::string>{std::string(1000, '[')});
}

TEST(SearxngReaderTest, ListsPastTheCapAreRefused) {
    auto list = [](std::string_view member, std::string_view element, std::size_t count) {
        std::string body = R"({"results": [], ")" + std::string{member} + R"(": [)";
        for (std::size_t i = 0; i < count; ++i) {
            body += (i == 0 ? "" : ",") + std::string{element};
        }
        return body + "]}";
    };
    const std::string_view result = R"({"url": "https://a.example/", "title": "A"})";
    EXPECT_EQ(mustRead(list("results", result, kMaxUpstreamItems)).items.size(), kMaxUpstreamItems);
    EXPECT_EQ(refusal(list("results", result, kMaxUpstreamItems + 1)), "too many results");
    // Every element counts, even one the reader would skip.
    EXPECT_EQ(refusal(list("results", "0", kMaxUpstreamItems + 1)), "too many results");
    EXPECT_EQ(mustRead(list("suggestions", "\"s\"", kMaxUpstreamItems)).suggestions.size(),
              kMaxUpstreamItems);
    EXPECT_EQ(refusal(list("suggestions", "\"s\"", kMaxUpstreamItems + 1)), "too many suggestions");
    EXPECT_EQ(refusal(list("corrections", "{}", kMaxUpstreamItems + 1)), "too many corrections");
    // Other members may be as long as the body allows.
    EXPECT_TRUE(mustRead(list("answers", "\"s\"", 10 * kMaxUpstreamItems)).items.empty());

    std::string large = R"({"results": [], "query": ")";
    large += std::string(kMaxUpstreamBytes - large.size() - 2, 'x') + "\"}";
    ASSERT_EQ(large.size(), kMaxUpstreamBytes);
    EXPECT_TRUE(mustRead(large).items.empty());
    EXPECT_EQ(refusal(large + " "), "answer too large");
}

TEST(SearxngReaderTest, AHugeFieldIsCutOnACharacterBoundary) {
    std::string euros;
    for (std::size_t i = 0; i < kMaxUpstreamTextBytes; ++i) {
        euros += "\xE2\x82\xAC"; // three bytes each
    }
    const std::string spaced = std::string(kMaxUpstreamTextBytes - 2, 'y') + "   z";
    const UpstreamPage page = mustRead(R"({"results": [{"title": " )" + euros + R"(", "url": ")" +
                                       spaced + R"(", "content": "x)" + std::string(100000, ' ') +
                                       R"("}],
        "suggestions": [")" + euros + R"("]})");
    ASSERT_EQ(page.items.size(), 1U);
    const std::size_t whole = kMaxUpstreamTextBytes / 3 * 3;
    EXPECT_EQ(page.items[0].title, euros.substr(0, whole));
    // Cut at the cap, then trimmed: the spaces before the cut go too.
    EXPECT_EQ(page.items[0].url, std::string(kMaxUpstreamTextBytes - 2, 'y'));
    EXPECT_EQ(page.items[0].text, "x");
    EXPECT_EQ(page.suggestions, std::vector<std::string>{euros.substr(0, whole)});
}

} // namespace
} // namespace tarvex::search
