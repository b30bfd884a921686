// The Options dialog on the offscreen platform, with the autostart folder in a temporary place.
#include "gui/dialogs/options_dlg.h"

#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <filesystem>

namespace tarvex::shell {
namespace {

using test::byName;
using test::toggleAccessibly;

class OptionsDlgTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(m_folder); }
    void TearDown() override {
        m_dialog.reset();
        std::filesystem::remove_all(m_folder);
    }

    COptions& open() {
        m_dialog =
            std::make_unique<COptions>(m_settings, m_startup, m_messages, [this] { ++m_wiped; });
        m_dialog->show();
        return *m_dialog;
    }
    QCheckBox& box(const QString& caption) { return *byName<QCheckBox>(*m_dialog, caption); }
    QLineEdit& cacheLife() { return *byName<QLineEdit>(*m_dialog, "Local Cache Life"); }
    QSlider& resultSize() { return *byName<QSlider>(*m_dialog, "Result Size"); }
    void ok() { QTest::mouseClick(byName<QPushButton>(*m_dialog, "OK"), Qt::LeftButton); }
    bool entryExists() {
        return std::filesystem::exists(m_folder / "autostart" / "Tarvex.desktop");
    }

    std::filesystem::path m_folder{std::filesystem::path{testing::TempDir()} /
                                   ("options_" + std::to_string(::getpid()))};
    MemorySettingsStore m_settings;
    test::RecordingMessages m_messages;
    StartupShortcut m_startup{[this](const std::string& text) { m_messages.show(text, {}); },
                              (m_folder / "autostart").string(), "/opt/tarvex/bin/dunsk"};
    int m_wiped = 0;
    std::unique_ptr<COptions> m_dialog;
};

TEST_F(OptionsDlgTest, FirstOpeningOnACleanAccount) {
    COptions& dialog = open();
    EXPECT_EQ(dialog.windowTitle(), "Options");
    EXPECT_EQ(cacheLife().text(), "24");
    EXPECT_EQ(resultSize().value(), 10);
    EXPECT_EQ(resultSize().minimum(), 10);
    EXPECT_EQ(resultSize().maximum(), 30);
    EXPECT_EQ(resultSize().pageStep(), 10);
    EXPECT_EQ(resultSize().singleStep(), 2);
    EXPECT_EQ(resultSize().tickInterval(), 1);
    EXPECT_TRUE(box("Filter Similar Results").isChecked());
    EXPECT_FALSE(box("Safe Search (remove adult results)").isChecked());
    EXPECT_FALSE(box("Minimize to tray at startup").isChecked());
    EXPECT_FALSE(box("Run on Windows startup").isChecked());
}

TEST_F(OptionsDlgTest, TheSliderTo25AndOk) {
    open();
    resultSize().setFocus();
    QTest::keyClick(&resultSize(), Qt::Key_PageUp);
    EXPECT_EQ(resultSize().value(), 20);
    QTest::keyClick(&resultSize(), Qt::Key_Right);
    QTest::keyClick(&resultSize(), Qt::Key_Right);
    EXPECT_EQ(resultSize().value(), 24);
    resultSize().setValue(25);
    box("Safe Search (remove adult results)").setChecked(true);
    ok();
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.getInt("Settings", "Maximum Results", 0), 25);
    EXPECT_EQ(m_settings.getInt("Settings", "Safe Search", 0), 1);
    EXPECT_EQ(m_settings.getInt("Settings", "Search Filer", 0), 1);
    EXPECT_EQ(m_settings.getInt("Settings", "Cache Life", 0), 24);
}

TEST_F(OptionsDlgTest, StoredValuesOutsideTheRangeShowAtTheNearerEnd) {
    m_settings.putInt("Settings", "Maximum Results", 45);
    open();
    EXPECT_EQ(resultSize().value(), 30);
}

TEST_F(OptionsDlgTest, TheImmediateBoxesSurviveACancel) {
    open();
    QTest::mouseClick(&box("Minimize to tray at startup"), Qt::LeftButton);
    QTest::mouseClick(&box("Run on Windows startup"), Qt::LeftButton);
    cacheLife().setText("7");
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(m_settings.getInt("Settings", "Minimize", 0), 1);
    EXPECT_TRUE(entryExists());
    EXPECT_FALSE(m_settings.has("Settings", "Cache Life")) << "OK's values are dropped";

    // The next opening shows the true states; a second click undoes each.
    open();
    EXPECT_TRUE(box("Minimize to tray at startup").isChecked());
    EXPECT_TRUE(box("Run on Windows startup").isChecked());
    QTest::mouseClick(&box("Minimize to tray at startup"), Qt::LeftButton);
    QTest::mouseClick(&box("Run on Windows startup"), Qt::LeftButton);
    EXPECT_EQ(m_settings.getInt("Settings", "Minimize", 1), 0);
    EXPECT_FALSE(entryExists());
    EXPECT_FALSE(box("Run on Windows startup").isChecked());
}

TEST_F(OptionsDlgTest, BoxesToggledBySpaceOrAScreenReaderActAsAClickDoes) {
    open();
    toggleAccessibly(box("Minimize to tray at startup"));
    EXPECT_EQ(m_settings.getInt("Settings", "Minimize", 0), 1);
    toggleAccessibly(box("Run on Windows startup"));
    EXPECT_TRUE(entryExists());
    box("Run on Windows startup").setFocus();
    QTest::keyClick(&box("Run on Windows startup"), Qt::Key_Space);
    EXPECT_FALSE(entryExists());
    EXPECT_FALSE(box("Run on Windows startup").isChecked());
}

TEST_F(OptionsDlgTest, AnEntryDeletedByHandIsMadeAgainByTheNextClick) {
    open();
    QTest::mouseClick(&box("Run on Windows startup"), Qt::LeftButton);
    ASSERT_TRUE(entryExists());
    std::filesystem::remove(m_folder / "autostart" / "Tarvex.desktop");
    QTest::mouseClick(&box("Run on Windows startup"), Qt::LeftButton);
    EXPECT_TRUE(entryExists());
    EXPECT_TRUE(box("Run on Windows startup").isChecked());
}

TEST_F(OptionsDlgTest, LettersInTheCacheLifeAreRefused) {
    open();
    cacheLife().setText("12h");
    ok();
    EXPECT_EQ(m_messages.texts, std::vector<std::string>{"Please enter an integer."});
    EXPECT_TRUE(m_dialog->isVisible()) << "the dialog stays open";
    EXPECT_FALSE(m_settings.has("Settings", "Cache Life"));
    EXPECT_FALSE(m_settings.has("Settings", "Maximum Results"));
}

TEST_F(OptionsDlgTest, ZeroHoursIsStoredAsTyped) {
    open();
    cacheLife().setText("0");
    ok();
    EXPECT_EQ(m_settings.getInt("Settings", "Cache Life", -1), 0);
}

TEST_F(OptionsDlgTest, WipeEmptiesTheHistoryAtOnce) {
    m_settings.putInt("Search Words", "Count", 2);
    open();
    QTest::mouseClick(byName<QPushButton>(*m_dialog, "Wipe the drop down word list"),
                      Qt::LeftButton);
    EXPECT_EQ(m_settings.getInt("Search Words", "Count", -1), 0);
    EXPECT_EQ(m_wiped, 1);
}

} // namespace
} // namespace tarvex::shell
