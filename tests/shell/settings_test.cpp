// The settings store's semantics, on the in-memory store and on the QSettings store alike, and
// the query-word history on top of them.
#include "shell/program_folder.h"
#include "shell/setting_names.h"
#include "shell/settings_store.h"
#include "shell/word_history.h"
#ifdef TARVEX_HAVE_QT_SETTINGS
#include "gui/platform/qt_settings_store.h"
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace tarvex::shell {
namespace {

using StoreMaker = std::function<std::unique_ptr<SettingsStore>()>;

// One file per process: ctest runs the cases of this suite side by side.
std::string settingsFile() {
    return ::testing::TempDir() + "tarvex_settings_test_" + std::to_string(getpid()) + ".ini";
}

std::vector<std::pair<std::string, StoreMaker>> stores() {
    std::vector<std::pair<std::string, StoreMaker>> makers{
        {"Memory", [] { return std::make_unique<MemorySettingsStore>(); }}};
#ifdef TARVEX_HAVE_QT_SETTINGS
    makers.emplace_back("QSettings", [] {
        const std::string path = settingsFile();
        std::remove(path.c_str());
        return std::unique_ptr<SettingsStore>(QtSettingsStore::inFile(path));
    });
#endif
    return makers;
}

class SettingsTest : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override { m_store = stores()[GetParam()].second(); }
    void TearDown() override {
        m_store.reset();
        std::remove(settingsFile().c_str());
    }
    std::unique_ptr<SettingsStore> m_store;
};

INSTANTIATE_TEST_SUITE_P(Stores, SettingsTest, ::testing::Range<std::size_t>(0, stores().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& store) {
                             return stores()[store.param].first;
                         });

TEST_P(SettingsTest, DefaultsOnAFirstStart) {
    SettingsStore& store = *m_store;
    EXPECT_EQ(store.getInt(kCacheLife.section, kCacheLife.entry, kCacheLife.fallback), 24);
    EXPECT_EQ(
        store.getInt(kMaximumResults.section, kMaximumResults.entry, kMaximumResults.fallback), 10);
    EXPECT_EQ(store.getInt(kSearchFilter.section, kSearchFilter.entry, kSearchFilter.fallback), 1);
    EXPECT_EQ(store.getInt(kSafeSearch.section, kSafeSearch.entry, kSafeSearch.fallback), 0);
    EXPECT_EQ(store.getString(kLicenseKey.section, kLicenseKey.entry, kLicenseKey.fallback), "");
}

TEST_P(SettingsTest, WritesReadBackAndDeletions) {
    SettingsStore& store = *m_store;
    EXPECT_TRUE(store.putInt("Settings", "Search Count", 41));
    EXPECT_EQ(store.getInt("Settings", "Search Count", 0), 41);
    EXPECT_TRUE(store.putString("Settings", "License Key", "caf\xC3\xA9 key"));
    EXPECT_EQ(store.getString("Settings", "License Key", "x"), "caf\xC3\xA9 key");
    EXPECT_TRUE(store.putString("Settings", "License Key", std::nullopt));
    EXPECT_EQ(store.getString("Settings", "License Key", "gone"), "gone");
    static_cast<void>(store.putString("Search Words", "1", "a"));
    EXPECT_TRUE(store.putString("Search Words", std::nullopt, std::nullopt));
    EXPECT_EQ(store.getString("Search Words", "1", "none"), "none") << "the whole section went";
    EXPECT_EQ(store.getInt("Settings", "Search Count", 0), 41) << "other sections stay";
}

TEST_P(SettingsTest, WordHistory) {
    SettingsStore& store = *m_store;
    static_cast<void>(store.putInt("Search Words", "Count", 3));
    static_cast<void>(store.putString("Search Words", "1", "one"));
    static_cast<void>(store.putString("Search Words", "2", ""));
    static_cast<void>(store.putString("Search Words", "3", "Kelvin"));
    static_cast<void>(store.putInt("Search Words", "Count", 4));
    static_cast<void>(
        store.putString("Search Words", "4", std::string(kMaxFieldTextBytes + 1, 'w')));
    WordList list;
    loadWords(store, "Search Words", list, kSearchWordLimit);
    EXPECT_EQ(list.words, (std::vector<std::string>{"one", "Kelvin"}))
        << "empty entries and ones longer than any query are skipped";

    EXPECT_TRUE(addWord(store, "Search Words", list, "  kelvin \t", kSearchWordLimit));
    EXPECT_EQ(list.words, (std::vector<std::string>{"kelvin", "one"}));
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(store.getInt("Search Words", "Count", 0), 2);
    EXPECT_EQ(store.getString("Search Words", "1", ""), "kelvin");
    EXPECT_TRUE(addWord(store, "Search Words", list, "   ", kSearchWordLimit));
    EXPECT_EQ(list.words.size(), 2U) << "a blank text changes nothing";

    EXPECT_TRUE(wipeWords(store, "Search Words"));
    loadWords(store, "Search Words", list, kSearchWordLimit);
    EXPECT_TRUE(list.words.empty());
    EXPECT_TRUE(addWord(store, "Search Words", list, "new", kSearchWordLimit));
    EXPECT_EQ(store.getInt("Search Words", "Count", 0), 1);
    EXPECT_EQ(store.getString("Search Words", "1", ""), "new");
    EXPECT_EQ(store.getString("Search Words", "2", ""), "one") << "old entries stay, unread";
}

TEST_P(SettingsTest, HistoryHoldsAtMost101Words) {
    SettingsStore& store = *m_store;
    WordList list;
    for (int i = 0; i < 101; ++i) {
        list.words.push_back("w" + std::to_string(i));
    }
    EXPECT_TRUE(addWord(store, "Search Words", list, "newest", kSearchWordLimit));
    EXPECT_EQ(list.words.size(), 101U);
    EXPECT_EQ(list.words.front(), "newest");
    EXPECT_EQ(list.words.back(), "w99");
    EXPECT_EQ(store.getInt("Search Words", "Count", 0), 101);
}

TEST_P(SettingsTest, AHugeHistoryCountReadsNoMoreThanTheHistoryHolds) {
    SettingsStore& store = *m_store;
    for (int i = 1; i <= 150; ++i) {
        static_cast<void>(
            store.putString("Search Words", std::to_string(i), "w" + std::to_string(i)));
    }
    static_cast<void>(store.putInt("Search Words", "Count", 150));
    WordList list;
    loadWords(store, "Search Words", list, kSearchWordLimit);
    ASSERT_EQ(list.words.size(), 101U);
    EXPECT_EQ(list.words.back(), "w101");
    // Looked up index by index, this count would take the start-up for hours.
    static_cast<void>(store.putInt("Search Words", "Count", 2147483647));
    loadWords(store, "Search Words", list, kSearchWordLimit);
    EXPECT_EQ(list.words.size(), 101U);
}

TEST(ProgramFolderTest, FolderAndKeyOfTheRunningExecutable) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(applicationKey(), "shell_tests");
}

} // namespace
} // namespace tarvex::shell
