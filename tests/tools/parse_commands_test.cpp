#include "cache/cache_file.h"
#include "support/historic_files.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace tarvex::cli {
namespace {

class TempFile {
public:
    explicit TempFile(const std::string& content) {
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path = ::testing::TempDir() + "tarvex_cli_" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";
};

const std::string kHistoric = test::historicFile("");

TEST(ParseCommandTest, PrintsTheResultWithWireNames) {
    SKIP_WITHOUT_HISTORIC_FILES();
    const ToolRun result = run({"parse", kHistoric + "kit-sample_doGoogleSearch_response.xml"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["estimatedTotalResultsCount"], 3);
    EXPECT_EQ(json["resultElements"][0]["URL"], "http://hci.stanford.edu/cs147/examples/shrdlu/");
    EXPECT_TRUE(json["directoryCategories"].is_array());
    EXPECT_EQ(json.size(), 11U) << "every member of GoogleSearchResult";
}

TEST(ParseCommandTest, FailureIsAnErrorObject) {
    const TempFile garbage{"<not-soap/>"};
    const ToolRun result = run({"parse", garbage.path()});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.out, "{\"error\":\"0x80004005\"}\n");
    EXPECT_EQ(run({"parse", "/no/such/file"}).status, kExitFailed);
    EXPECT_EQ(run({"parse"}).status, kExitUsage);
    EXPECT_EQ(run({"parse", "a", "b"}).status, kExitUsage);
}

TEST(FaultCommandTest, PrintsTheFault) {
    SKIP_WITHOUT_HISTORIC_FILES();
    const ToolRun result =
        run({"fault", kHistoric + "EXTRACTED_nordugrid-arc_fault_NullPointerException.xml"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["code"], 0);
    EXPECT_EQ(json["faultcode"], "SOAP-ENV:Server.Exception:");
    EXPECT_EQ(json["faultstring"], "java.lang.NullPointerException");
    EXPECT_EQ(json["faultactor"], "/search/beta2");
    EXPECT_TRUE(json["detail"].is_null());

    const TempFile response{"<a/>"};
    const ToolRun bad = run({"fault", response.path()});
    EXPECT_EQ(bad.status, kExitFailed);
    EXPECT_EQ(nlohmann::json::parse(bad.out)["error"], "0x80004005");
}

} // namespace
} // namespace tarvex::cli

namespace tarvex::cli {
namespace {

TEST(CacheCommandTest, DumpsEntriesAndTheLoadErrors) {
    // One entry for "abc" with one result (a URL and five empty texts), then a count that
    // promises a second entry.
    std::string bytes =
        std::string("\x02\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) + "CGoogleResultCache" +
        std::string("\x03"
                    "abc"
                    "\x05\x00\x00\x00"
                    "\x00\x00\x00\x00",
                    12) +
        std::string(8, '\0') + std::string("\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x09", 9) + "http://a/";
    for (int i = 0; i < 5; ++i) {
        bytes += std::string("\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x00", 9);
    }
    bytes += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8);
    const TempFile file{bytes};
    const ToolRun result = run({"cache", "dump", file.path()});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    ASSERT_EQ(json["entries"].size(), 1U);
    EXPECT_EQ(json["entries"][0]["queryWord"], "abc");
    EXPECT_EQ(json["entries"][0]["estimatedTotal"], 5);
    EXPECT_EQ(json["entries"][0]["urls"][0], "http://a/");
    EXPECT_EQ(json["entries"][0]["searchedAt"]["status"], 0);
    EXPECT_EQ(json["errors"], nlohmann::json::array(
                                  {"An attempt was made to access an unnamed file past its end."}));
    EXPECT_EQ(run({"cache", "dump", "/no/such.glr"}).status, kExitFailed);
    EXPECT_EQ(run({"cache"}).status, kExitUsage);
}

TEST(CacheCommandTest, PrintsEveryKindOfFieldInItsExactLayout) {
    // The layout scripts read: texts with escapes and bytes that are no UTF-8, numbers, dates,
    // empty and full lists, and the load's errors.
    const cache::SystemClock clock;
    cache::CGoogleResultCacheArray cache{clock};
    auto full = std::make_unique<cache::CGoogleResultCache>();
    full->queryWord = "caf\xC3\xA9 \"q\" \\";
    full->estimatedTotal = -3;
    full->searchedAt = {38000.25, cache::OleDate::kValid};
    full->urls = {"http://a/?b=1&c=2", "http://e/"};
    full->titles = {"tab\there\nline", "bad \xFF\xC3 end \xE2\x82"};
    full->summaries = {"", "\x01\x1F"};
    full->snippets = {"<b>x</b> &amp;", "\xE2\x82\xAC \xF0\x9F\x98\x80 \xED\xA0\x80"};
    full->categoryNames = {"Top/A", ""};
    full->directoryTitles = {"", "D"};
    full->reservedList = {"kept"};
    cache.add(std::move(full));
    auto empty = std::make_unique<cache::CGoogleResultCache>();
    empty->estimatedTotal = 2147483647;
    empty->searchedAt = {-1.5, cache::OleDate::kInvalid};
    cache.add(std::move(empty));
    std::string bytes = cache::writeCacheBytes(cache);
    bytes[0] = 3; // a third entry is promised and missing
    const TempFile file{bytes};

    const ToolRun result = run({"cache", "dump", file.path()});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(result.out, R"({
  "entries": [
    {
      "queryWord": "café \"q\" \\",
      "estimatedTotal": -3,
      "searchedAt": {
        "days": 38000.25,
        "status": 0
      },
      "urls": [
        "http://a/?b=1&c=2",
        "http://e/"
      ],
      "titles": [
        "tab\there\nline",
        "bad �� end �"
      ],
      "summaries": [
        "",
        "\u0001\u001f"
      ],
      "snippets": [
        "<b>x</b> &amp;",
        "€ 😀 ���"
      ],
      "categoryNames": [
        "Top/A",
        ""
      ],
      "directoryTitles": [
        "",
        "D"
      ],
      "reservedList": [
        "kept"
      ]
    },
    {
      "queryWord": "",
      "estimatedTotal": 2147483647,
      "searchedAt": {
        "days": -1.5,
        "status": 1
      },
      "urls": [],
      "titles": [],
      "summaries": [],
      "snippets": [],
      "categoryNames": [],
      "directoryTitles": [],
      "reservedList": []
    }
  ],
  "errors": [
    "An attempt was made to access an unnamed file past its end."
  ]
}
)");
}

} // namespace
} // namespace tarvex::cli
