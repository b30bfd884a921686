#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

TEST(EnvelopeCommandTest, PrintsTheRequestWithoutATrailingNewline) {
    const ToolRun result = run({"envelope", "--key", "abc", "--query", "x"});
    EXPECT_EQ(result.status, kExitOk);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.substr(result.out.size() - 16), "</soap:Envelope>");
    EXPECT_NE(result.out.find(
                  "<key>abc</key><q>x</q><start>0</start><maxResults>10</maxResults>"
                  "<filter>true</filter><restrict xsi:nil=\"1\"/><safeSearch>false</safeSearch>"),
              std::string::npos);
}

TEST(EnvelopeCommandTest, OptionsReachTheRequest) {
    const ToolRun result = run({"envelope", "--key=k", "--query", "caf\xC3\xA9", "--start", "10",
                                "--max=5", "--filter", "0", "--safe", "1"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_NE(result.out.find(
                  "<q>caf&#x00E9;</q><start>10</start><maxResults>5</maxResults>"
                  "<filter>false</filter><restrict xsi:nil=\"1\"/><safeSearch>true</safeSearch>"),
              std::string::npos)
        << "UTF-8 query converted to UTF-16 and escaped";
}

TEST(EnvelopeCommandTest, BadWordsAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"envelope", "--query", "x"},
        {"envelope", "--key", "k"},
        {"envelope", "--key", "k", "--query", "x", "--filter", "2"},
        {"envelope", "--key", "k", "--query", "x", "--start", "ten"},
        {"envelope", "--key", "k", "--query", "x", "--start", "99999999999"},
        {"envelope", "--key", "k", "--query", "x", "--colour", "red"},
        {"envelope", "--key", "k", "--query"},
        {"envelope", "--key", "k", "--query", "x", "extra"},
    };
    for (const auto& words : bad) {
        const ToolRun result = run(words);
        EXPECT_EQ(result.status, kExitUsage) << words.back();
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(result.err.empty());
    }
}

TEST(ToolTest, HelpForTheToolAndEachCommand) {
    const ToolRun tool = run({"--help"});
    EXPECT_EQ(tool.status, kExitOk);
    EXPECT_NE(tool.out.find("envelope"), std::string::npos);
    for (const Command& command : commands()) {
        const ToolRun help = run({std::string{command.name}, "--help"});
        EXPECT_EQ(help.status, kExitOk);
        EXPECT_EQ(help.out, command.help);
        EXPECT_EQ(run({"help", std::string{command.name}}).out, command.help);
    }
    EXPECT_EQ(run({}).status, kExitUsage);
    const ToolRun unknown = run({"frobnicate"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);
}

} // namespace
} // namespace tarvex::cli
