#include "support/scripted_server.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <sstream>

namespace tarvex::cli {
namespace {

using test::ScriptedServer;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string{TARVEX_TEST_DIR} + "/proxy/fixtures/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int runInto(const std::vector<std::string>& words, std::string& out) {
    const ToolRun result = run(words);
    out = result.out;
    return result.status;
}

TEST(CallCommandTest, SearchPrintsTheResult) {
    ScriptedServer server{{ScriptedServer::answer(
        ScriptedServer::response(200, fixture("historic_style_10_results.xml")))}};
    std::string out;
    ASSERT_EQ(runInto({"call", "doGoogleSearch", "--endpoint", server.url(), "--key", "k",
                       "--query", "temperature"},
                      out),
              kExitOk);
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["resultElements"].size(), 10U);
    EXPECT_NE(server.requests().at(0).find("<q>temperature</q>"), std::string::npos);
}

TEST(CallCommandTest, FaultIsReportedWithItsClientError) {
    ScriptedServer server{
        {ScriptedServer::answer(ScriptedServer::response(500, fixture("invalid_key_fault.xml")))}};
    std::string out;
    ASSERT_EQ(runInto({"call", "doGoogleSearch", "--endpoint", server.url(), "--key", "bad",
                       "--query", "q"},
                      out),
              kExitFailed);
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["error"], "0x80004005");
    EXPECT_EQ(json["clientError"], 7);
    EXPECT_EQ(json["fault"]["code"], 400);
    EXPECT_EQ(json["fault"]["faultcode"], "SOAP-ENV:Server");
}

TEST(CallCommandTest, OtherFailuresHaveNoFault) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(404, "no"))}};
    std::string out;
    ASSERT_EQ(runInto({"call", "doSpellingSuggestion", "--endpoint", server.url(), "--key", "k",
                       "--phrase", "x"},
                      out),
              kExitFailed);
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["clientError"], 5);
    EXPECT_FALSE(json.contains("fault"));
    EXPECT_EQ(runInto({"call", "doSomething", "--endpoint", server.url()}, out), kExitUsage);
    EXPECT_EQ(runInto({"call", "doGoogleSearch"}, out), kExitUsage);
}

} // namespace
} // namespace tarvex::cli
