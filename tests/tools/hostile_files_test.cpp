// The tool against files that are damaged, made to hurt, or no files at all.
#include "app/cache_location.h"
#include "cache/cache_file.h"
#include "shell/settings_files.h"
#include "support/scripted_server.h"
#include "support/search_answers.h"
#include "support/test_folder.h"
#include "tarvex/command.h"
#include "tarvex/window_files.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::cli {
namespace {

using test::ScriptedServer;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A page of `count` results, each list as long as `urls` unless `titles` says otherwise.
cache::SearchResultSet page(std::size_t count, std::size_t titles) {
    cache::SearchResultSet results;
    for (std::size_t i = 0; i < count; ++i) {
        results.urls.add("http://c/" + std::to_string(i));
        results.summaries.add("");
        results.snippets.add("");
        results.categoryNames.add("");
        results.directoryTitles.add("");
    }
    for (std::size_t i = 0; i < titles; ++i) {
        results.titles.add("C" + std::to_string(i));
    }
    return results;
}

class HostileFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cacheFile = m_dir + "/quorlan.glr";
        m_settings = m_dir + "/settings.ini";
    }

    // `tarvex search` with this test's settings and cache file.
    ToolRun search(const std::string& endpoint, const std::string& word,
                   const std::string& cacheFile) {
        return run({"search", "--endpoint", endpoint, "--key", "k", "--settings", m_settings,
                    "--cache", cacheFile, word});
    }

    const cache::SystemClock m_clock{};
    test::TestFolder m_folder{"tarvex_hostile_tool"};
    std::string m_dir = m_folder.path().string();
    std::string m_cacheFile;
    std::string m_settings;
};

TEST_F(HostileFilesTest, ACachedEntryWithFewerTitlesThanUrlsDoesNotCrashSearch) {
    // SIGSEGV: the rows were printed by index from every list of the entry.
    cache::CGoogleResultCacheArray results{m_clock};
    results.Store("word", page(3, 1));
    ASSERT_TRUE(cache::SaveToFile(m_cacheFile, results));
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 2, 2))}};
    const ToolRun result = search(server.url(), "word", m_cacheFile);
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_NE(result.err.find(m_cacheFile + " has a bad format."), std::string::npos) << result.err;
    EXPECT_EQ(server.requests().size(), 1U) << "the bad entry is not taken from the cache";
    EXPECT_EQ(result.out, "2 results for \"word\" (about 2)\n1. T1\n   http://r/1\n2. T2\n   "
                          "http://r/2\n");
}

TEST_F(HostileFilesTest, AFolderWhereAFileIsExpectedCannotBeRead) {
    // Each aborted on an uncaught std::ios_base::failure.
    for (const std::string command : {"parse", "fault"}) {
        const ToolRun result = run({command, m_dir});
        EXPECT_EQ(result.status, kExitFailed) << command;
        EXPECT_EQ(result.err, "tarvex " + command + ": cannot read " + m_dir + "\n");
    }
    const ToolRun dump = run({"cache", "dump", m_dir});
    EXPECT_EQ(dump.status, kExitFailed);
    EXPECT_EQ(dump.err, "tarvex cache: cannot read " + m_dir + "\n");
}

TEST_F(HostileFilesTest, ADamagedCacheFileIsKeptBeforeSearchSavesOverIt) {
    // One byte changed in entry 2 of 5 lost entries 3 to 5 at the next save.
    cache::CGoogleResultCacheArray five{m_clock};
    for (int i = 0; i < 5; ++i) {
        five.Store("w" + std::to_string(i), page(2, 2));
    }
    std::string bytes = cache::writeCacheBytes(five);
    bytes[bytes.find(std::string("\x01\x80\x02w1", 4))] = 0x02;
    writeFile(m_cacheFile, bytes);
    // "w0" is fresh in the cache: no request is made.
    const test::ClosedPort closed;
    const std::string nowhere = closed.url("/search/beta2");
    const ToolRun result = search(nowhere, "w0", m_cacheFile);
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(fileBytes(m_cacheFile + ".damaged"), bytes) << "all five entries are still there";
    EXPECT_NE(result.err.find("kept as " + m_cacheFile + ".damaged."), std::string::npos)
        << result.err;
    const ToolRun dump = run({"cache", "dump", m_cacheFile});
    EXPECT_EQ(nlohmann::json::parse(dump.out)["entries"].size(), 1U);
}

TEST_F(HostileFilesTest, ASaveThatFailsIsReportedAndFailsTheRun) {
    // A path below a regular file cannot be written; the run used to end as if it were saved.
    writeFile(m_dir + "/plain", "x");
    const std::string underAFile = m_dir + "/plain/quorlan.glr";
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 2, 2))}};
    const ToolRun result = search(server.url(), "word", underAFile);
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_NE(result.out.find("2 results"), std::string::npos) << "the results still show";
    EXPECT_NE(result.err.find("The cache could not be saved to " + underAFile), std::string::npos)
        << result.err;

    // A folder as the cache file: not read, and not written over.
    ScriptedServer again{{ScriptedServer::answer(test::searchAnswer(0, 2, 2))}};
    const ToolRun folder = search(again.url(), "word", m_dir);
    EXPECT_EQ(folder.status, kExitFailed);
    EXPECT_NE(folder.err.find("could not be saved to " + m_dir), std::string::npos) << folder.err;
    EXPECT_TRUE(std::filesystem::is_directory(m_dir));
}

TEST_F(HostileFilesTest, ACountFarPastTheEndDumpsQuickly) {
    // 0xFFFFFFFF strings announced and 1 MB of zero bytes: once a million empty strings.
    std::string bytes = std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) +
                        "CGoogleResultCache" + std::string("\x01w", 2) + std::string(16, '\0') +
                        std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) +
                        std::string(std::size_t{1} << 20, '\0');
    writeFile(m_cacheFile, bytes);
    const ToolRun dump = run({"cache", "dump", m_cacheFile});
    ASSERT_EQ(dump.status, kExitOk) << dump.err;
    const auto json = nlohmann::json::parse(dump.out);
    ASSERT_EQ(json["entries"].size(), 1U);
    EXPECT_TRUE(json["entries"][0]["urls"].empty());
    EXPECT_EQ(json["errors"].size(), 7U);
}

TEST_F(HostileFilesTest, SettingsInAFolderThatDoesNotExistAreRefused) {
    // --settings made the missing folders of the file.
    const std::string missing = m_dir + "/no/such/folder";
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 2, 2))}};
    const ToolRun result = run({"search", "--endpoint", server.url(), "--key", "k", "--settings",
                                missing + "/settings.ini", "--no-cache", "word"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.err, "tarvex search: cannot keep the settings in " + missing +
                              "/settings.ini: its folder does not exist, or it is a folder\n");
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/no"));

    const ToolRun folder = run({"search", "--endpoint", server.url(), "--key", "k", "--settings",
                                m_dir, "--no-cache", "word"});
    EXPECT_EQ(folder.status, kExitFailed) << "a folder is no settings file";
}

TEST_F(HostileFilesTest, ARunThatCouldNotLoadItsCacheMergesTheDefaultFileBeforeSaving) {
    if (!shell::settingsReachFiles()) {
        GTEST_SKIP() << "settings do not outlive a run in this build";
    }
    // "Cache Path" names a file that is gone: the run clears it and saves to the default file,
    // which held a good cache and was written over with this run's one word.
    ::setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
    const std::string defaultFile = app::defaultCachePath(kWindowApplicationKey);
    cache::CGoogleResultCacheArray earlier{m_clock};
    earlier.Store("older", page(2, 2));
    earlier.Store("oldest", page(2, 2));
    ASSERT_TRUE(cache::SaveToFile(defaultFile, earlier));
    writeFile(m_settings, "[Settings]\nCache%20Path=" + m_dir + "/gone/quorlan.glr\n");
    ScriptedServer server{{ScriptedServer::answer(test::searchAnswer(0, 2, 2))}};
    const ToolRun result =
        run({"search", "--endpoint", server.url(), "--key", "k", "--settings", m_settings, "word"});
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const ToolRun dump = run({"cache", "dump", defaultFile});
    EXPECT_EQ(nlohmann::json::parse(dump.out)["entries"].size(), 3U) << dump.out;
}

} // namespace
} // namespace tarvex::cli
