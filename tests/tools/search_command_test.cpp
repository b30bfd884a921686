#include "shell/settings_files.h"
#include "support/scripted_server.h"
#include "support/search_answers.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::cli {
namespace {

using test::ScriptedServer;

TEST(SearchCommandTest, ThreePagesThenTheCache) {
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 10, 77)),
                           ScriptedServer::answer(test::searchAnswer(10, 10, 77)),
                           ScriptedServer::answer(test::searchAnswer(20, 10, 77))}};
    const std::string settings = ::testing::TempDir() + "tarvex_search_settings.ini";
    const std::string cacheFile = ::testing::TempDir() + "tarvex_search_cache.glr";
    std::remove(settings.c_str());
    std::remove(cacheFile.c_str());
    const std::vector<std::string> words{"search",  "--endpoint", server.url(), "--key",  "k",
                                         "--max",   "30",         "--settings", settings, "--cache",
                                         cacheFile, "--json",     "word"};
    const ToolRun first = run(words);
    ASSERT_EQ(first.status, kExitOk) << first.err;
    auto json = nlohmann::json::parse(first.out);
    EXPECT_EQ(json["urls"].size(), 30U);
    EXPECT_EQ(json["queryWord"], "word");
    EXPECT_EQ(server.requests().size(), 3U);

    const ToolRun second = run(words);
    ASSERT_EQ(second.status, kExitOk) << second.err;
    json = nlohmann::json::parse(second.out);
    EXPECT_EQ(json["urls"].size(), 30U);
    EXPECT_EQ(server.requests().size(), 3U) << "answered from the cache file, no request";
    std::remove(settings.c_str());
    std::remove(cacheFile.c_str());
}

TEST(SearchCommandTest, FailedRequestSaysError) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(500, "no"))}};
    const std::string settings = ::testing::TempDir() + "tarvex_search_settings2.ini";
    std::remove(settings.c_str());
    const ToolRun result = run({"search", "--endpoint", server.url(), "--key", "k", "--settings",
                                settings, "--no-cache", "anything"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.out, "Error!\n");
    // A new settings file: no stored key (the one above holds "k" now).
    const std::string fresh = ::testing::TempDir() + "tarvex_search_settings3.ini";
    std::remove(fresh.c_str());
    const ToolRun noKey =
        run({"search", "--endpoint", server.url(), "--settings", fresh, "--no-cache", "x"});
    EXPECT_EQ(noKey.status, kExitFailed);
    EXPECT_NE(noKey.err.find("licence key"), std::string::npos) << noKey.err;
    std::remove(fresh.c_str());
    std::remove(settings.c_str());
}

// Regression: --max N was written into the window's "Maximum Results" for good. An option of
// one run changes nothing for the next; the licence key a search stores is kept, as the window
// keeps it.
TEST(SearchCommandTest, MaxIsForOneRunAndTheKeyIsKept) {
    if (!shell::settingsReachFiles()) {
        GTEST_SKIP() << "settings do not outlive a run in this build";
    }
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 10, 77)),
                           ScriptedServer::answer(test::searchAnswer(10, 10, 77)),
                           ScriptedServer::answer(test::searchAnswer(20, 10, 77)),
                           ScriptedServer::answer(test::searchAnswer(0, 10, 77))}};
    const std::string settings = ::testing::TempDir() + "tarvex_search_settings4.ini";
    std::remove(settings.c_str());
    const ToolRun first = run({"search", "--endpoint", server.url(), "--key", "k", "--max", "30",
                               "--settings", settings, "--no-cache", "--json", "one"});
    ASSERT_EQ(first.status, kExitOk) << first.err;
    EXPECT_EQ(server.requests().size(), 3U);
    const ToolRun second = run({"search", "--endpoint", server.url(), "--settings", settings,
                                "--no-cache", "--json", "two"});
    ASSERT_EQ(second.status, kExitOk) << second.err;
    EXPECT_EQ(nlohmann::json::parse(second.out)["urls"].size(), 10U);
    EXPECT_EQ(server.requests().size(), 4U) << "the stored maximum of 10: one request";
    std::remove(settings.c_str());
}

// --settings FILE is never silently ignored: the settings reach FILE, or a build that keeps
// settings in memory only says that FILE is not used.
TEST(SearchCommandTest, ASettingsFileIsNeverSilentlyIgnored) {
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 10, 77))}};
    const std::string settings = ::testing::TempDir() + "tarvex_search_settings5.ini";
    std::remove(settings.c_str());
    const ToolRun result = run({"search", "--endpoint", server.url(), "--key", "secret-key",
                                "--settings", settings, "--no-cache", "word"});
    if (shell::settingsReachFiles()) {
        ASSERT_EQ(result.status, kExitOk) << result.err;
        std::ifstream in(settings);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(text.find("License%20Key=secret-key"), std::string::npos) << text;
    } else {
        EXPECT_EQ(result.status, kExitOk) << result.err;
        EXPECT_NE(result.err.find("is neither read nor written"), std::string::npos) << result.err;
    }
    std::remove(settings.c_str());
}

} // namespace
} // namespace tarvex::cli
