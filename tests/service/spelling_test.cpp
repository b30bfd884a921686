// Spelling suggestions from the index's words.
#include "service/spelling.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

TEST(SpellingTest, DistanceCountsTranspositionsAsOneEdit) {
    EXPECT_EQ(SpellingDictionary::distance("speers", "spears", 2), 1U);
    EXPECT_EQ(SpellingDictionary::distance("teh", "the", 2), 1U);
    EXPECT_EQ(SpellingDictionary::distance("lisp", "lisp", 2), 0U);
    EXPECT_EQ(SpellingDictionary::distance("", "abc", 5), 3U);
    EXPECT_EQ(SpellingDictionary::distance("kitten", "sitting", 5), 3U);
    // Past the limit the answer is limit + 1, however far.
    EXPECT_EQ(SpellingDictionary::distance("kitten", "sitting", 2), 3U);
    EXPECT_EQ(SpellingDictionary::distance("a", "abcdefgh", 2), 3U);
}

TEST(SpellingTest, SuggestsTheNearestCommonWord) {
    const SpellingDictionary dictionary{
        {{"britney", 3}, {"spears", 5}, {"spires", 9}, {"lisp", 4}, {"list", 40}, {"teletype", 2}}};
    EXPECT_EQ(dictionary.suggest("britney speers"), "britney spears");
    EXPECT_EQ(dictionary.suggest("Britny  Spears"), "britney spears");
    EXPECT_EQ(dictionary.suggest("teletyep"), "teletype");
    // Ties go to the word in more documents.
    EXPECT_EQ(dictionary.suggest("lisx"), "list");
    // Known words, and words with nothing near, give no suggestion.
    EXPECT_EQ(dictionary.suggest("lisp teletype"), "");
    EXPECT_EQ(dictionary.suggest("zzzzzzzz"), "");
    EXPECT_EQ(dictionary.suggest(""), "");
    // Short words allow one edit only.
    EXPECT_EQ(dictionary.suggest("lxxp"), "");
}

TEST(SpellingTest, LongWordsAreLeftAlone) {
    const SpellingDictionary dictionary{{{"lisp", 1}}};
    EXPECT_EQ(dictionary.suggest(std::string(100'000, 'l')), "");
}

} // namespace
} // namespace tarvex::search
