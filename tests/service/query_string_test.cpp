// Query strings of the web pages' addresses, as browsers and the window send them.
#include "service/query_string.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

TEST(QueryStringTest, TheQueryIsWhatFollowsTheFirstQuestionMark) {
    EXPECT_EQ(queryOf("/search?q=a?b&c=d"), "q=a?b&c=d");
    EXPECT_EQ(queryOf("/search?q=a#top"), "q=a");
    EXPECT_EQ(queryOf("/search"), "");
    EXPECT_EQ(queryOf("/search#q=a"), "");
}

TEST(QueryStringTest, PlusAndPercentEscapesAreDecoded) {
    struct Row {
        std::string_view in;
        std::string_view out;
    };
    const Row rows[] = {
        {"two+words", "two words"},
        {"two%20words", "two words"},
        {"two words", "two words"}, // a blank the sender did not escape
        {"c%2B%2B", "c++"},
        {"lr%3D%26hl%3Den", "lr=&hl=en"},
        {"caf%C3%A9", "caf\xC3\xA9"},
        {"%e2%82%ac", "\xE2\x82\xAC"},
        {"100%", "100%"},
        {"100%2", "100%2"},
        {"%zz%4g", "%zz%4g"},
        {"%%41", "%A"},
        {"%00", std::string_view{"\0", 1}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decodeQueryComponent(row.in), row.out) << row.in;
    }
}

TEST(QueryStringTest, EncodingRoundTripsEveryByte) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    const std::string encoded = encodeQueryComponent(all);
    EXPECT_EQ(encoded.find_first_of(" &=#?\"<>'"), std::string::npos) << encoded;
    EXPECT_EQ(decodeQueryComponent(encoded), all);
    EXPECT_EQ(encodeQueryComponent("site:a.example x y"), "site%3Aa.example+x+y");
}

TEST(QueryStringTest, TheFirstParameterOfANameWins) {
    const std::string_view query = "q=two words&meta=lr%3D%26hl%3Den&btnG=Google+Search&q=later";
    EXPECT_EQ(queryValue(query, "q"), "two words");
    EXPECT_EQ(queryValue(query, "meta"), "lr=&hl=en");
    EXPECT_EQ(queryValue(query, "btnG"), "Google Search");
    EXPECT_EQ(queryValue(query, "start"), std::nullopt);
    EXPECT_EQ(queryValue("flag&q=", "flag"), "");
    EXPECT_EQ(queryValue("flag&q=", "q"), "");
    EXPECT_EQ(queryValue("%71=encoded+name", "q"), "encoded name");
    EXPECT_EQ(queryValue("qq=1&xq=2", "q"), std::nullopt);
    EXPECT_EQ(queryValue("", "q"), std::nullopt);
    EXPECT_EQ(queryValue("&&q=a=b", "q"), "a=b");
}

} // namespace
} // namespace tarvex::search
