// The start-up load and the shut-down save as the window and the tool make them: a damaged file
// is kept before the save replaces it, a failed save says so, a folder is no cache file.
#include "app/cache_location.h"

#include "shell/setting_names.h"
#include "support/cache_fakes.h"
#include "support/test_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tarvex::app {
namespace {

using test::CollectedErrors;
using test::FixedClock;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string filled(std::string_view text, const std::string& first,
                   const std::string& second = "") {
    std::string message{text};
    message.replace(message.find("%1"), 2, first);
    if (const auto at = message.find("%2"); at != std::string::npos) {
        message.replace(at, 2, second);
    }
    return message;
}

class CacheLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file = m_dir + "/quorlan.glr";
        ::setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
    }

    void setCachePath(const std::string& path) {
        m_settings.putString(shell::kCachePath.section, shell::kCachePath.entry, path);
    }
    [[nodiscard]] std::string cachePath() {
        return m_settings.getString(shell::kCachePath.section, shell::kCachePath.entry, "");
    }

    // Five entries "w0" .. "w4", written to m_file; the bytes with entry 2's tag made an object
    // reference (a bad index), so that a load stops after the first entry.
    std::string writeFiveThenDamageTheSecond() {
        cache::CGoogleResultCacheArray five{m_clock};
        cache::SearchResultSet page;
        page.urls = {"http://r/1"};
        page.titles = {"T1"};
        page.summaries = {""};
        page.snippets = {""};
        page.categoryNames = {""};
        page.directoryTitles = {""};
        for (int i = 0; i < 5; ++i) {
            five.Store("w" + std::to_string(i), page);
        }
        std::string bytes = cache::writeCacheBytes(five);
        const std::size_t second = bytes.find(std::string("\x01\x80\x02w1", 4));
        bytes[second] = 0x02;
        writeFile(m_file, bytes);
        return bytes;
    }

    FixedClock m_clock;
    shell::MemorySettingsStore m_settings;
    cache::CGoogleResultCacheArray m_cache{m_clock};
    CollectedErrors m_errors;
    test::TestFolder m_folder{"tarvex_cache_location"};
    std::string m_dir = m_folder.path().string();
    std::string m_file;
};

// Point: a damaged file is read up to the damage; the save must not lose the rest.

TEST_F(CacheLocationTest, ADamagedFileIsKeptAsideBeforeTheSaveReplacesIt) {
    // One byte changed in entry 2 of 5 lost entries 3 to 5 for good at the next save.
    const std::string damaged = writeFiveThenDamageTheSecond();
    setCachePath(m_file);
    CacheLoad load = loadCache(m_settings, m_cache, m_errors);
    ASSERT_TRUE(load.loaded());
    EXPECT_TRUE(load.errorsReported);
    EXPECT_EQ(m_cache.GetCount(), 1);
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{m_file + " has a bad format."});

    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", load);
    EXPECT_TRUE(save.saved);
    EXPECT_EQ(save.file, m_file);
    EXPECT_EQ(save.keptAs, m_file + ".damaged");
    EXPECT_EQ(fileBytes(m_file + ".damaged"), damaged) << "every entry is still there";
    EXPECT_EQ(save.messages(),
              std::vector<std::string>{filled(kDamagedCacheKept, m_file, m_file + ".damaged")});
    EXPECT_EQ(fileBytes(m_file), cache::writeCacheBytes(m_cache));

    // A second save of the same run keeps nothing more.
    const CacheSave again = saveCache(m_settings, m_cache, "dunsk", load);
    EXPECT_TRUE(again.saved);
    EXPECT_TRUE(again.keptAs.empty());
    EXPECT_FALSE(std::filesystem::exists(m_file + ".damaged.1"));
}

TEST_F(CacheLocationTest, AnEarlierKeptCopyIsNeverOverwritten) {
    writeFile(m_file + ".damaged", "kept last week");
    const std::string damaged = writeFiveThenDamageTheSecond();
    CacheLoad load = loadCache(m_settings, m_cache, m_errors, m_file);
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", load, m_file);
    EXPECT_EQ(save.keptAs, m_file + ".damaged.1");
    EXPECT_EQ(fileBytes(m_file + ".damaged.1"), damaged);
    EXPECT_EQ(fileBytes(m_file + ".damaged"), "kept last week");
    ASSERT_EQ(save.messages().size(), 1U);
    EXPECT_NE(save.messages()[0].find(m_file + ".damaged.1"), std::string::npos)
        << "the message says where the file was kept";
}

TEST_F(CacheLocationTest, AGoodFileOrAnotherFileKeepsNothingAside) {
    cache::CGoogleResultCacheArray one{m_clock};
    one.Store("w", cache::SearchResultSet{});
    ASSERT_TRUE(cache::SaveToFile(m_file, one));
    CacheLoad good = loadCache(m_settings, m_cache, m_errors, m_file);
    EXPECT_FALSE(good.errorsReported);
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", good, m_file);
    EXPECT_TRUE(save.saved);
    EXPECT_TRUE(save.messages().empty());
    EXPECT_FALSE(std::filesystem::exists(m_file + ".damaged"));

    // Damage read from one file does not touch another one.
    writeFiveThenDamageTheSecond();
    CacheLoad damaged = loadCache(m_settings, m_cache, m_errors, m_file);
    ASSERT_TRUE(damaged.errorsReported);
    const std::string other = m_dir + "/other.glr";
    EXPECT_TRUE(saveCache(m_settings, m_cache, "dunsk", damaged, other).saved);
    EXPECT_FALSE(std::filesystem::exists(other + ".damaged"));
    EXPECT_FALSE(std::filesystem::exists(m_file + ".damaged"));
}

TEST_F(CacheLocationTest, ADamagedFileThatCannotBeKeptIsNotOverwritten) {
    const std::string damaged = writeFiveThenDamageTheSecond();
    writeFile(m_file + ".damaged", "");
    for (int n = 1; n < cache::kMaxDamagedCopies; ++n) {
        writeFile(m_file + ".damaged." + std::to_string(n), "");
    }
    CacheLoad load = loadCache(m_settings, m_cache, m_errors, m_file);
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", load, m_file);
    EXPECT_FALSE(save.saved);
    EXPECT_TRUE(save.keepFailed);
    EXPECT_EQ(fileBytes(m_file), damaged);
    EXPECT_EQ(save.messages(), std::vector<std::string>{filled(kDamagedCacheNotKept, m_file)});
}

// Point: a save that fails keeps the old file and is no longer silent.

TEST_F(CacheLocationTest, ASaveThatCannotWriteSaysSo) {
    m_cache.Store("w", cache::SearchResultSet{});
    CacheLoad none;
    writeFile(m_dir + "/plain", "x");
    const std::string underAFile = m_dir + "/plain/quorlan.glr";
    CacheSave save = saveCache(m_settings, m_cache, "dunsk", none, underAFile);
    EXPECT_FALSE(save.saved);
    EXPECT_EQ(save.messages(), std::vector<std::string>{filled(kCacheNotSaved, underAFile)});

    // A folder where the file should be, named by "Cache Path".
    std::filesystem::create_directories(m_file);
    setCachePath(m_file);
    save = saveCache(m_settings, m_cache, "dunsk", none);
    EXPECT_FALSE(save.saved);
    EXPECT_EQ(save.messages(), std::vector<std::string>{filled(kCacheNotSaved, m_file)});
    EXPECT_TRUE(std::filesystem::is_directory(m_file));
}

TEST_F(CacheLocationTest, ASaveOnAFullDiskKeepsTheOldFileAndSaysSo) {
    cache::CGoogleResultCacheArray old{m_clock};
    old.Store("old", cache::SearchResultSet{});
    ASSERT_TRUE(cache::SaveToFile(m_file, old));
    const std::string before = fileBytes(m_file);
    cache::SearchResultSet big;
    big.urls = {std::string(100000, 'u')};
    big.titles = big.summaries = big.snippets = big.categoryNames = big.directoryTitles = {""};
    m_cache.Store("new", big);

    // A file size limit stands in for a full disk: writes past it fail with EFBIG.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CacheLoad none;
        const CacheSave save = saveCache(m_settings, m_cache, "dunsk", none, m_file);
        const bool reported = !save.saved && save.messages() == std::vector<std::string>{
                                                                    filled(kCacheNotSaved, m_file)};
        ::_exit(reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed save is reported";
    EXPECT_EQ(fileBytes(m_file), before) << "the old file stays";
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        ++files;
    }
    EXPECT_EQ(files, 1U) << "no temporary file is left";
}

// Point: a folder named as the cache file is a failed load, not an abort.

TEST_F(CacheLocationTest, ACachePathNamingAFolderIsAFailedLoad) {
    setCachePath(m_dir);
    const CacheLoad load = loadCache(m_settings, m_cache, m_errors);
    EXPECT_FALSE(load.loaded());
    EXPECT_FALSE(load.errorsReported);
    EXPECT_TRUE(m_errors.messages.empty());
    EXPECT_EQ(cachePath(), "") << "forgotten, as a missing file is";
}

TEST_F(CacheLocationTest, AnEmptyCachePathSavesToTheDefaultFile) {
    CacheLoad none = loadCache(m_settings, m_cache, m_errors);
    EXPECT_FALSE(none.loaded());
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", none);
    EXPECT_TRUE(save.saved);
    EXPECT_EQ(save.file, m_dir + "/data/Brenmoor Technologies/dunsk/quorlan.glr");
    EXPECT_EQ(cachePath(), save.file);
}

// Point: a run that could not load its file never writes its own few words over a good one.

TEST_F(CacheLocationTest, ASaveMergesTheEntriesOfAFileThisRunDidNotRead) {
    // The run before left "Cache Path" naming a file that is not there; the good cache is the
    // default file, which this run does not read.
    const std::string defaultFile = defaultCachePath("dunsk");
    cache::CGoogleResultCacheArray earlier{m_clock};
    cache::SearchResultSet oldPage;
    oldPage.urls = {"http://old/"};
    oldPage.titles = oldPage.summaries = oldPage.snippets = oldPage.categoryNames =
        oldPage.directoryTitles = {""};
    earlier.Store("kept", oldPage);
    earlier.Store("Both", oldPage);
    ASSERT_TRUE(cache::SaveToFile(defaultFile, earlier));
    setCachePath(m_dir + "/gone/quorlan.glr");
    CacheLoad load = loadCache(m_settings, m_cache, m_errors);
    ASSERT_FALSE(load.loaded());

    cache::SearchResultSet newPage = oldPage;
    newPage.urls = {"http://new/"};
    m_cache.Store("both", newPage);
    m_cache.Store("fresh", newPage);
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", load);
    ASSERT_TRUE(save.saved);
    EXPECT_EQ(save.file, defaultFile);
    EXPECT_TRUE(save.messages().empty());

    cache::CGoogleResultCacheArray saved{m_clock};
    ASSERT_TRUE(cache::LoadFromFile(defaultFile, saved, m_errors));
    ASSERT_EQ(saved.GetCount(), 3);
    EXPECT_EQ(saved.GetWordAt(0), "kept");
    EXPECT_EQ(saved.GetWordAt(1), "both");
    EXPECT_EQ(saved.GetWordAt(2), "fresh");
    cache::SearchResultSet both;
    ASSERT_TRUE(saved.Lookup("both", both, true));
    EXPECT_EQ(both.urls[0], "http://new/") << "this run's entry wins";

    // The file now counts as read: a word deleted afterwards stays deleted at the next save.
    ASSERT_TRUE(m_cache.DeleteWord("kept"));
    ASSERT_TRUE(saveCache(m_settings, m_cache, "dunsk", load).saved);
    ASSERT_TRUE(cache::LoadFromFile(defaultFile, saved, m_errors));
    EXPECT_EQ(saved.GetCount(), 2);
}

TEST_F(CacheLocationTest, AFileThatCannotBeMergedInFullIsKeptAside) {
    const std::string damaged = writeFiveThenDamageTheSecond();
    CacheLoad none;
    m_cache.Store("new", cache::SearchResultSet{});
    const CacheSave save = saveCache(m_settings, m_cache, "dunsk", none, m_file);
    EXPECT_TRUE(save.saved);
    EXPECT_EQ(save.keptAs, m_file + ".damaged");
    EXPECT_EQ(fileBytes(m_file + ".damaged"), damaged);
    EXPECT_EQ(m_cache.GetCount(), 2) << "what could be read joins the cache";
}

TEST_F(CacheLocationTest, TheDefaultFileIgnoresARelativeDataHome) {
    // The default file's folder followed a relative XDG_DATA_HOME into the working folder.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    const char* home = std::getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    ::setenv("HOME", m_dir.c_str(), 1);
    EXPECT_EQ(defaultCachePath("dunsk"),
              m_dir + "/.local/share/Brenmoor Technologies/dunsk/quorlan.glr");
    ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace tarvex::app
