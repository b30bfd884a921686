// The Options dialog's values without its controls: what OK saves and refuses, and the check
// boxes that act at once.
#include "shell/options_model.h"
#include "shell/setting_names.h"
#include "support/failing_settings.h"
#include "support/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace tarvex::shell {
namespace {

TEST(WholeNumberTest, WhatTheCacheLifeTakes) {
    EXPECT_EQ(wholeNumber("24"), 24);
    EXPECT_EQ(wholeNumber(" -3 "), -3);
    EXPECT_EQ(wholeNumber("+5"), 5);
    for (const std::string_view text : {"", " ", "1.5", "12h", "0x10", "99999999999", "- 1"}) {
        EXPECT_FALSE(wholeNumber(text)) << text;
    }
}

class OptionsModelTest : public ::testing::Test {
protected:
    MemorySettingsStore m_settings;
    test::TestFolder m_folder{"options_model"};
    StartupShortcut m_startup{[](const std::string&) {}, m_folder.path().string(),
                              "/usr/bin/dunsk"};
};

TEST_F(OptionsModelTest, OkSavesEverythingOrNothing) {
    EXPECT_TRUE(kCacheLife.put(m_settings, 24));
    OptionsModel model{m_settings, m_startup};
    EXPECT_EQ(model.save("soon", {0, 30, false, true}), "Please enter an integer.");
    EXPECT_EQ(kCacheLife.get(m_settings), 24);
    EXPECT_EQ(kMaximumResults.get(m_settings), 10) << "a refused OK saves nothing";

    EXPECT_EQ(model.save(" 48 ", {0, 30, false, true}), std::nullopt);
    EXPECT_EQ(kCacheLife.get(m_settings), 48);
    EXPECT_EQ(kMaximumResults.get(m_settings), 30);
    EXPECT_EQ(kSearchFilter.get(m_settings), 0);
    EXPECT_EQ(kSafeSearch.get(m_settings), 1);
    EXPECT_EQ(model.values().cacheLife, 48);
}

TEST_F(OptionsModelTest, OkSaysWhenTheStoreKeptNothing) {
    test::FailingSettings failing;
    failing.failWrites = true;
    OptionsModel model{failing, m_startup};
    EXPECT_EQ(model.save("48", {0, 30, false, true}), std::string{kSettingsNotKept});
    EXPECT_FALSE(model.toggleMinimize()) << "the box shows what the store holds";
    EXPECT_FALSE(model.wipeWords());
}

TEST_F(OptionsModelTest, TheCheckBoxesFlipWhatIsStored) {
    OptionsModel model{m_settings, m_startup};
    EXPECT_TRUE(model.toggleMinimize());
    EXPECT_EQ(kMinimize.get(m_settings), 1);
    EXPECT_FALSE(model.toggleMinimize());

    EXPECT_TRUE(model.toggleRunAtStartup());
    EXPECT_TRUE(model.runAtStartup());
    EXPECT_FALSE(model.toggleRunAtStartup());
    EXPECT_FALSE(model.runAtStartup());
}

} // namespace
} // namespace tarvex::shell
