#include "command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
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

const std::string kHistoric = std::string{TARVEX_SHARED_DIR} + "/interop/historic/";

TEST(ParseCommandTest, PrintsTheResultWithWireNames) {
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
