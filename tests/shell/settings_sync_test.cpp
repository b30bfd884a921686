// When the QSettings store writes its file: once per turn of the event loop however many
// settings that turn puts, once when the store goes, and never a value lost on the way.
#include "gui/platform/qt_settings_store.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::shell {
namespace {

class SettingsFile {
public:
    SettingsFile()
        : m_path(::testing::TempDir() + "tarvex_settings_sync_test_" + std::to_string(getpid()) +
                 ".ini") {
        std::remove(m_path.c_str());
    }
    ~SettingsFile() { std::remove(m_path.c_str()); }
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    // The bytes on disk, read past QSettings, whose objects in one process share what they hold.
    [[nodiscard]] std::string text() const {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    [[nodiscard]] bool holds(const std::string& line) const {
        return text().find(line + "\n") != std::string::npos;
    }

private:
    std::string m_path;
};

// The window's situation: an application whose event loop turns.
class SettingsSyncInALoopTest : public ::testing::Test {
protected:
    static void endTurn() { QCoreApplication::processEvents(); }

    SettingsFile m_file;

private:
    int m_argc = 1;
    char m_name[12] = "shell_tests";
    char* m_argv[2] = {m_name, nullptr};
    QCoreApplication m_application{m_argc, m_argv};
};

// Every put synced the file before it returned: one search waited on the disk a dozen times.
TEST_F(SettingsSyncInALoopTest, ThePutsOfOneTurnReachTheFileInOneSyncAtItsEnd) {
    const auto store = QtSettingsStore::inFile(m_file.path());
    EXPECT_TRUE(store->putInt("Settings", "Count", 41));
    EXPECT_TRUE(store->putString("Settings", "Key", "abc"));
    EXPECT_TRUE(store->putString("Words", "1", "kelvin"));
    EXPECT_EQ(store->getInt("Settings", "Count", 0), 41) << "a put is seen at once";
    EXPECT_EQ(store->syncCount(), 0U);
    EXPECT_FALSE(m_file.holds("Count=41")) << "no sync before the turn ends";

    endTurn();
    EXPECT_EQ(store->syncCount(), 1U);
    EXPECT_TRUE(m_file.holds("Count=41"));
    EXPECT_TRUE(m_file.holds("Key=abc"));
    EXPECT_TRUE(m_file.holds("1=kelvin"));
}

TEST_F(SettingsSyncInALoopTest, EachTurnThatPutsSyncsOnceAndAQuietTurnNever) {
    const auto store = QtSettingsStore::inFile(m_file.path());
    for (int turn = 1; turn <= 3; ++turn) {
        for (int put = 0; put < 5; ++put) {
            EXPECT_TRUE(store->putInt("Settings", "Count", turn * 10 + put));
        }
        endTurn();
        EXPECT_EQ(store->syncCount(), static_cast<std::size_t>(turn));
        EXPECT_TRUE(m_file.holds("Count=" + std::to_string(turn * 10 + 4)));
    }
    endTurn();
    EXPECT_EQ(store->getInt("Settings", "Count", 0), 34);
    EXPECT_EQ(store->syncCount(), 3U) << "a turn without puts";
}

TEST_F(SettingsSyncInALoopTest, RemovalsAreSyncedAsPutsAre) {
    const auto store = QtSettingsStore::inFile(m_file.path());
    EXPECT_TRUE(store->putString("Words", "1", "one"));
    EXPECT_TRUE(store->putString("Settings", "Key", "abc"));
    endTurn();
    ASSERT_TRUE(m_file.holds("1=one"));
    EXPECT_TRUE(store->putString("Words", std::nullopt, std::nullopt));
    EXPECT_TRUE(store->putString("Settings", "Key", std::nullopt));
    endTurn();
    EXPECT_EQ(store->syncCount(), 2U);
    EXPECT_EQ(m_file.text().find("one"), std::string::npos);
    EXPECT_EQ(m_file.text().find("abc"), std::string::npos);
}

TEST_F(SettingsSyncInALoopTest, AnExplicitSyncWritesAtOnceAndLeavesNothingForTheTurnEnd) {
    const auto store = QtSettingsStore::inFile(m_file.path());
    EXPECT_TRUE(store->putInt("Settings", "Count", 7));
    EXPECT_TRUE(store->sync());
    EXPECT_TRUE(m_file.holds("Count=7"));
    endTurn();
    EXPECT_EQ(store->syncCount(), 1U);
    EXPECT_TRUE(store->sync());
    EXPECT_EQ(store->syncCount(), 1U) << "nothing was pending";
}

TEST_F(SettingsSyncInALoopTest, AStoreThatGoesBeforeItsTurnEndsSyncsAsItGoes) {
    auto store = QtSettingsStore::inFile(m_file.path());
    EXPECT_TRUE(store->putInt("Settings", "Count", 9));
    store.reset();
    EXPECT_TRUE(m_file.holds("Count=9"));
    // The sync queued for the turn's end must not reach the store that is gone.
    endTurn();
    EXPECT_TRUE(m_file.holds("Count=9"));
}

// The tool's situation: no event loop, so the store syncs once, when it goes.
TEST(SettingsSyncWithoutALoopTest, ThePutsOfTheWholeRunReachTheFileWhenTheStoreGoes) {
    const SettingsFile file;
    auto store = QtSettingsStore::inFile(file.path());
    for (int put = 1; put <= 12; ++put) {
        EXPECT_TRUE(store->putString("Words", std::to_string(put), "word" + std::to_string(put)));
    }
    EXPECT_EQ(store->syncCount(), 0U);
    EXPECT_FALSE(file.holds("12=word12"));
    store.reset();
    for (int put = 1; put <= 12; ++put) {
        EXPECT_TRUE(file.holds(std::to_string(put) + "=word" + std::to_string(put))) << put;
    }
}

TEST(SettingsSyncWithoutALoopTest, AStoreReopenedReadsWhatTheLastOneWrote) {
    const SettingsFile file;
    EXPECT_TRUE(QtSettingsStore::inFile(file.path())->putString("Settings", "Key", "caf\xC3\xA9"));
    EXPECT_EQ(QtSettingsStore::inFile(file.path())->getString("Settings", "Key", ""),
              "caf\xC3\xA9");
}

// The file holds the licence key.
TEST(SettingsSyncWithoutALoopTest, TheFileIsReadableByItsOwnerOnly) {
    const auto mode = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
    };
    const SettingsFile file;
    EXPECT_TRUE(
        QtSettingsStore::inFile(file.path())->putString("Settings", "License Key", "secret"));
    EXPECT_EQ(mode(file.path()), 0600U);

    // A file an older version left readable by all is mended at its next write.
    ASSERT_EQ(::chmod(file.path().c_str(), 0644), 0);
    EXPECT_TRUE(
        QtSettingsStore::inFile(file.path())->putString("Settings", "License Key", "other"));
    EXPECT_EQ(mode(file.path()), 0600U);
}

} // namespace
} // namespace tarvex::shell
