// The main window with a tray icon (a fake that records what the window asks of it) and without
// a notification area.
#include "gui/main_window/search_dlg.h"

#include "res/commands.h"
#include "shell/setting_names.h"
#include "support/scripted_server.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace tarvex::app {
namespace {

class FakeTray final : public shell::SystemTray {
public:
    explicit FakeTray(bool available) : m_available(available) {}
    bool Install(const std::string& tip, int iconId) override {
        calls.push_back("Install " + tip + " " + std::to_string(iconId));
        shown = m_available;
        return m_available;
    }
    bool SetDefaultItem(int item, bool byPosition) override {
        calls.push_back("SetDefaultItem " + std::to_string(item) + (byPosition ? " 1" : " 0"));
        return true;
    }
    bool Withdraw() override {
        calls.emplace_back("Withdraw");
        shown = false;
        return true;
    }
    bool PutBack() override {
        calls.emplace_back("PutBack");
        shown = true;
        return true;
    }
    bool Uninstall() override { return true; }
    void setCommandTarget(CommandTarget target) override { commands = std::move(target); }
    [[nodiscard]] bool visibleWhenPutBack() const override { return m_available && areaPresent; }

    std::vector<std::string> calls;
    bool shown = false;
    bool areaPresent = true;
    CommandTarget commands;

private:
    bool m_available;
};

class SearchDlgTrayTest : public testing::Test {
protected:
    CSearchDlg& open(bool trayAvailable) {
        auto tray = std::make_unique<FakeTray>(trayAvailable);
        m_tray = tray.get();
        auto handOver = std::make_shared<std::unique_ptr<FakeTray>>(std::move(tray));
        m_window = std::make_unique<CSearchDlg>(SearchDlgServices{
            m_settings,
            m_clock,
            m_opener,
            m_messages,
            m_closed.url("/search/beta2"),
            "dunsk",
            {},
            [handOver] { return std::unique_ptr<shell::SystemTray>{std::move(*handOver)}; }});
        m_window->show();
        QCoreApplication::processEvents();
        return *m_window;
    }

    shell::MemorySettingsStore m_settings;
    test::FixedClock m_clock;
    test::RecordingOpener m_opener;
    test::RecordingMessages m_messages;
    test::ClosedPort m_closed; // the endpoint: the window never reaches a service
    FakeTray* m_tray = nullptr;
    std::unique_ptr<CSearchDlg> m_window;
};

TEST_F(SearchDlgTrayTest, StartUpInstallsThenWithdrawsTheIcon) {
    open(true);
    EXPECT_EQ(m_tray->calls,
              (std::vector<std::string>{"Install Tarvex 140", "SetDefaultItem 0 1", "Withdraw"}));
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_FALSE(m_tray->shown);
}

TEST_F(SearchDlgTrayTest, MinimizeAtStartLeavesOnlyTheIconAndRestoreBringsTheWindowBack) {
    m_settings.putInt("Settings", "Minimize", 1);
    CSearchDlg& window = open(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(m_tray->shown);

    // A double click on the icon sends Restore.
    m_tray->commands(res::kCmdRestore);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(m_tray->shown);
}

TEST_F(SearchDlgTrayTest, ExitFromTheTrayMenuClosesAsCloseDoes) {
    CSearchDlg& window = open(true);
    m_window->onCommand(res::kCmdTray);
    ASSERT_FALSE(window.isVisible());
    test::byName<QLineEdit>(window, "License Key")->setText("typed-before-tray");
    m_tray->commands(res::kCmdExit);
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.result() == QDialog::Accepted; }, 2000));
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "typed-before-tray");
}

TEST_F(SearchDlgTrayTest, WithoutANotificationAreaStartUpGoesOnAndTrayMinimises) {
    m_settings.putInt("Search Words", "Count", 1);
    m_settings.putString("Search Words", "1", "kept");
    CSearchDlg& window = open(false);
    EXPECT_EQ(m_tray->calls, std::vector<std::string>{"Install Tarvex 140"});
    EXPECT_TRUE(window.windowTitle().endsWith("]")) << "the title is set all the same";
    m_window->onCommand(res::kCmdTray);
    EXPECT_TRUE(window.isVisible()) << "never hidden with no icon to come back by";
    EXPECT_TRUE(window.isMinimized());
}

TEST_F(SearchDlgTrayTest, TrayMinimisesOnceTheNotificationAreaHasGone) {
    CSearchDlg& window = open(true);
    m_tray->areaPresent = false;
    m_window->onCommand(res::kCmdTray);
    EXPECT_TRUE(window.isVisible()) << "an icon nobody sees is no way back";
    EXPECT_TRUE(window.isMinimized());
}

// Runs `act` on the modal dialog that opens next, once it is up.
template <typename Act>
void onNextModal(Act act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

TEST_F(SearchDlgTrayTest, AfterOptionsTheWindowReadsTheCacheLifeAgain) {
    open(true);
    onNextModal([](QWidget& options) {
        EXPECT_EQ(options.windowTitle(), "Options");
        test::byName<QLineEdit>(options, "Local Cache Life")->setText("5");
        QTest::mouseClick(test::byName<QPushButton>(options, "OK"), Qt::LeftButton);
    });
    m_window->onCommand(res::kCmdOptions);
    EXPECT_EQ(m_settings.getInt("Settings", "Cache Life", 0), 5);
    EXPECT_EQ(m_window->resultCache().cacheLifeHours, 5);
}

TEST_F(SearchDlgTrayTest, WipeInOptionsEmptiesTheQueryWordBoxAtOnce) {
    m_settings.putInt("Search Words", "Count", 1);
    m_settings.putString("Search Words", "1", "old");
    CSearchDlg& window = open(true);
    auto* box = test::byName<QComboBox>(window, "Query Word");
    ASSERT_EQ(box->count(), 1);
    onNextModal([box](QWidget& options) {
        QTest::mouseClick(test::byName<QPushButton>(options, "Wipe the drop down word list"),
                          Qt::LeftButton);
        EXPECT_EQ(box->count(), 0) << "emptied before the dialog closes";
        QTest::keyClick(&options, Qt::Key_Escape);
    });
    m_window->onCommand(res::kCmdOptions);
    EXPECT_EQ(m_settings.getInt("Search Words", "Count", -1), 0);
}

TEST_F(SearchDlgTrayTest, CacheAndAboutOpenTheirDialogs) {
    open(true);
    QString title;
    onNextModal([&title](QWidget& dialog) {
        title = dialog.windowTitle();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    m_window->onCommand(res::kCmdCache);
    EXPECT_EQ(title, "Cache Browser");
    onNextModal([&title](QWidget& dialog) {
        title = dialog.windowTitle();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    m_window->onCommand(res::kCmdAbout);
    EXPECT_EQ(title, "About");
}

} // namespace
} // namespace tarvex::app
