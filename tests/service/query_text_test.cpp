// The query language: what users type becomes a safe FTS5 expression.
#include "service/query_text.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

struct Case {
    const char* query;
    const char* match;
    const char* site;
};

class QueryTextTest : public testing::TestWithParam<Case> {};

TEST_P(QueryTextTest, Translates) {
    const Case& c = GetParam();
    const IndexQuery query = translateQuery(c.query);
    EXPECT_EQ(query.match, c.match) << c.query;
    EXPECT_EQ(query.site, c.site) << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryTextTest,
    testing::Values(
        Case{"shrdlu", "(\"shrdlu\")", ""},
        Case{"  shrdlu   maclisp ", "(\"shrdlu\") AND (\"maclisp\")", ""},
        Case{"\"blocks world\" lisp", "(\"blocks world\") AND (\"lisp\")", ""},
        Case{"lisp OR scheme teletype", "(\"lisp\" OR \"scheme\") AND (\"teletype\")", ""},
        Case{"lisp -scheme -\"common lisp\"", "(\"lisp\") NOT \"scheme\" NOT \"common lisp\"", ""},
        Case{"+lisp site:Lisp.Example.org", "(\"lisp\")", "lisp.example.org"},
        // Operators and quotes of the index never pass through.
        Case{"a\"b NEAR(c d) * ^x", "(\"a b\") AND (\"NEAR c\") AND (\"d\") AND (\"x\")", ""},
        Case{"col:value", "(\"col value\")", ""}, Case{"c++ -", "(\"c\")", ""},
        Case{"OR lisp", "(\"lisp\")", ""}, Case{"lisp OR", "(\"lisp\")", ""},
        Case{"caf\xc3\xa9", "(\"caf\xc3\xa9\")", ""},
        // Nothing to match: only exclusions, punctuation or nothing at all.
        Case{"-lisp", "", ""}, Case{"*** ???", "", ""}, Case{"", "", ""},
        Case{"\"unclosed phrase", "(\"unclosed phrase\")", ""}));

} // namespace
} // namespace tarvex::search
