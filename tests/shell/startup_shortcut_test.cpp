// Start at log-on: the autostart entry created, found and deleted in a temporary folder, the
// folder taken from the environment, the Exec= quoting, and failed writes that are reported
// and leave no half entry behind.
#include "shell/program_folder.h"
#include "shell/startup_shortcut.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace tarvex::shell {
namespace {

namespace fs = std::filesystem;

const std::string kExecutable = "/opt/tarvex/bin/dunsk";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.insert(item.path().filename().string());
    }
    return names;
}

// The Options dialog's click: the new state comes from the file, not from the check box.
bool click(const StartupShortcut& shortcut) {
    const bool next = !shortcut.StartupShortcutExists(kStartupLinkName);
    EXPECT_TRUE(shortcut.SetStartupShortcut(kStartupLinkName, kStartupDescription, next));
    return next;
}

// A fresh folder per test, removed afterwards; every reported message is kept.
class StartupShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "tarvex_startup_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    StartupShortcut shortcutIn(const fs::path& folder,
                               std::optional<std::string> executable = kExecutable) {
        return StartupShortcut([this](const std::string& message) { m_errors.push_back(message); },
                               folder.string(), std::move(executable));
    }

    fs::path m_root;
    std::vector<std::string> m_errors;
};

// --- The file is the state. ---

TEST_F(StartupShortcutTest, CreatesTheEntryWithItsExactText) {
    const fs::path folder = m_root / "autostart";
    ASSERT_TRUE(shortcutIn(folder).SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_EQ(readFile(folder / "Tarvex.desktop"), "[Desktop Entry]\n"
                                                   "Type=Application\n"
                                                   "Name=Tarvex\n"
                                                   "Comment=moravel\n"
                                                   "Exec=/opt/tarvex/bin/dunsk\n");
    EXPECT_TRUE(m_errors.empty());
    // Nothing but the entry: no temporary file is left beside it.
    EXPECT_EQ(namesIn(folder), std::set<std::string>{"Tarvex.desktop"});
}

TEST_F(StartupShortcutTest, DetectsTheEntryOnlyWhenItsFileExists) {
    const StartupShortcut shortcut = shortcutIn(m_root);
    EXPECT_FALSE(shortcut.StartupShortcutExists("Tarvex"));
    writeFile(m_root / "Other.desktop", "x");
    EXPECT_FALSE(shortcut.StartupShortcutExists("Tarvex"));
    // Any file of that name counts, whatever it holds.
    writeFile(m_root / "Tarvex.desktop", "");
    EXPECT_TRUE(shortcut.StartupShortcutExists("Tarvex"));
}

TEST_F(StartupShortcutTest, DeletesTheEntry) {
    const StartupShortcut shortcut = shortcutIn(m_root);
    ASSERT_TRUE(shortcut.SetStartupShortcut("Tarvex", "moravel", true));
    ASSERT_TRUE(shortcut.StartupShortcutExists("Tarvex"));
    EXPECT_TRUE(shortcut.SetStartupShortcut("Tarvex", "moravel", false));
    EXPECT_FALSE(shortcut.StartupShortcutExists("Tarvex"));
    EXPECT_FALSE(fs::exists(m_root / "Tarvex.desktop"));
}

TEST_F(StartupShortcutTest, DeletingAMissingEntryIsQuiet) {
    EXPECT_TRUE(shortcutIn(m_root).SetStartupShortcut("Tarvex", "moravel", false));
    EXPECT_TRUE(shortcutIn(m_root / "missing").SetStartupShortcut("Tarvex", "moravel", false));
    EXPECT_TRUE(m_errors.empty());
    EXPECT_FALSE(fs::exists(m_root / "missing"));
}

TEST_F(StartupShortcutTest, TwoClicksCreateThenDelete) {
    const StartupShortcut shortcut = shortcutIn(m_root);
    EXPECT_TRUE(click(shortcut));
    EXPECT_TRUE(fs::exists(m_root / "Tarvex.desktop"));
    EXPECT_FALSE(click(shortcut));
    EXPECT_FALSE(fs::exists(m_root / "Tarvex.desktop"));
}

TEST_F(StartupShortcutTest, AClickAfterADeletionByHandCreatesAgain) {
    const StartupShortcut shortcut = shortcutIn(m_root);
    ASSERT_TRUE(click(shortcut));
    fs::remove(m_root / "Tarvex.desktop");
    EXPECT_TRUE(click(shortcut));
    EXPECT_TRUE(fs::exists(m_root / "Tarvex.desktop"));
}

TEST_F(StartupShortcutTest, AnEntryForAMovedExecutableStaysOnUntilMadeAgain) {
    ASSERT_TRUE(shortcutIn(m_root, "/old/place/dunsk").SetStartupShortcut("Tarvex", "m", true));
    const StartupShortcut moved = shortcutIn(m_root, "/new/place/dunsk");
    EXPECT_TRUE(moved.StartupShortcutExists("Tarvex"));
    EXPECT_NE(readFile(m_root / "Tarvex.desktop").find("Exec=/old/place/dunsk\n"),
              std::string::npos);
    ASSERT_TRUE(moved.SetStartupShortcut("Tarvex", "m", true));
    EXPECT_NE(readFile(m_root / "Tarvex.desktop").find("Exec=/new/place/dunsk\n"),
              std::string::npos);
}

TEST_F(StartupShortcutTest, OverwritesAnExistingEntry) {
    writeFile(m_root / "Tarvex.desktop", std::string(4096, 'x'));
    ASSERT_TRUE(shortcutIn(m_root).SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_EQ(readFile(m_root / "Tarvex.desktop"),
              autostartEntry("Tarvex", "moravel", kExecutable));
    EXPECT_TRUE(m_errors.empty());
}

TEST_F(StartupShortcutTest, CreatesMissingFoldersPrivateToTheUser) {
    const fs::path folder = m_root / "config" / "autostart";
    ASSERT_TRUE(shortcutIn(folder).SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_TRUE(fs::is_regular_file(folder / "Tarvex.desktop"));
    EXPECT_EQ(fs::status(m_root / "config").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    // The entry itself is readable by all, as desktop entries are.
    EXPECT_EQ(fs::status(folder / "Tarvex.desktop").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

TEST_F(StartupShortcutTest, AFolderEndingInASlashGetsNoSecondOne) {
    EXPECT_EQ(autostartEntryPath("/x/autostart/", "Tarvex"), "/x/autostart/Tarvex.desktop");
    EXPECT_EQ(autostartEntryPath("/x/autostart", "Tarvex"), "/x/autostart/Tarvex.desktop");
    const StartupShortcut shortcut = shortcutIn(m_root.string() + "/");
    ASSERT_TRUE(shortcut.SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_TRUE(shortcut.StartupShortcutExists("Tarvex"));
    EXPECT_TRUE(fs::exists(m_root / "Tarvex.desktop"));
}

TEST_F(StartupShortcutTest, TheRunningExecutableIsTheDefaultTarget) {
    const std::string self = executablePath();
    ASSERT_EQ(fs::path(self).filename(), "shell_tests");
    const StartupShortcut shortcut([](const std::string&) {}, m_root.string());
    ASSERT_TRUE(shortcut.SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_NE(readFile(m_root / "Tarvex.desktop").find("\nExec=" + quoteExecArgument(self) + "\n"),
              std::string::npos);
}

TEST_F(StartupShortcutTest, NoExecutableMakesNoEntryAndNoMessage) {
    EXPECT_TRUE(shortcutIn(m_root, std::string{}).SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_FALSE(fs::exists(m_root / "Tarvex.desktop"));
    EXPECT_TRUE(m_errors.empty());
}

// --- A failed creation is reported and leaves nothing half-written. ---

TEST_F(StartupShortcutTest, AFolderUnderAFileIsReported) {
    writeFile(m_root / "afile", "x");
    const StartupShortcut shortcut = shortcutIn(m_root / "afile" / "autostart");
    EXPECT_TRUE(shortcut.SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_EQ(m_errors, std::vector<std::string>{"Error creating Shortcut"});
    EXPECT_FALSE(shortcut.StartupShortcutExists("Tarvex"));
}

TEST_F(StartupShortcutTest, AFolderThatIsAFileIsReported) {
    writeFile(m_root / "autostart", "x");
    EXPECT_TRUE(shortcutIn(m_root / "autostart").SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_EQ(m_errors, std::vector<std::string>{std::string{kShortcutError}});
    EXPECT_EQ(readFile(m_root / "autostart"), "x");
}

// The rename is the last step: when it fails, the written temporary file must go as well.
TEST_F(StartupShortcutTest, AFailedRenameIsReportedAndLeavesNoTemporaryFile) {
    fs::create_directory(m_root / "Tarvex.desktop");
    writeFile(m_root / "Tarvex.desktop" / "inside", "x");
    EXPECT_TRUE(shortcutIn(m_root).SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_EQ(m_errors, std::vector<std::string>{"Error creating Shortcut"});
    EXPECT_EQ(namesIn(m_root), std::set<std::string>{"Tarvex.desktop"});
}

// A write cut short (file size limit) keeps the previous entry whole.
TEST_F(StartupShortcutTest, AWriteCutShortKeepsTheOldEntry) {
    const std::string old = autostartEntry("Tarvex", "moravel", "/old/place/dunsk");
    writeFile(m_root / "Tarvex.desktop", old);
    const StartupShortcut shortcut = shortcutIn(m_root, "/a/much/longer/path/than/before/dunsk");

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool result = shortcut.SetStartupShortcut("Tarvex", "moravel", true);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(result);
    EXPECT_EQ(m_errors, std::vector<std::string>{"Error creating Shortcut"});
    EXPECT_EQ(readFile(m_root / "Tarvex.desktop"), old);
    EXPECT_EQ(namesIn(m_root), std::set<std::string>{"Tarvex.desktop"});
}

// --- The folder from the environment; each case puts the environment back. ---

class AutostartFolderTest : public StartupShortcutTest {
protected:
    void SetUp() override {
        StartupShortcutTest::SetUp();
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>{value} : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            setVariable(name.c_str(), value);
        }
        StartupShortcutTest::TearDown();
    }
    static void setVariable(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    StartupShortcut fromEnvironment() {
        return StartupShortcut([this](const std::string& message) { m_errors.push_back(message); },
                               std::nullopt, kExecutable);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(AutostartFolderTest, XdgConfigHomeComesFirst) {
    setVariable("XDG_CONFIG_HOME", "/cfg");
    setVariable("HOME", "/home/u");
    EXPECT_EQ(fromEnvironment().folder(), "/cfg/autostart");
    setVariable("XDG_CONFIG_HOME", "/cfg/");
    EXPECT_EQ(fromEnvironment().folder(), "/cfg/autostart");
}

TEST_F(AutostartFolderTest, HomeWhenXdgConfigHomeIsUnsetEmptyOrRelative) {
    setVariable("HOME", "/home/u");
    for (const std::optional<std::string>& config :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"relative/cfg"}}) {
        setVariable("XDG_CONFIG_HOME", config);
        EXPECT_EQ(fromEnvironment().folder(), "/home/u/.config/autostart") << config.value_or("-");
    }
    setVariable("HOME", "/home/u/");
    EXPECT_EQ(fromEnvironment().folder(), "/home/u/.config/autostart");
}

TEST_F(AutostartFolderTest, NeitherVariableMeansNoFolderAndNothingDone) {
    setVariable("XDG_CONFIG_HOME", std::nullopt);
    setVariable("HOME", std::nullopt);
    const StartupShortcut shortcut = fromEnvironment();
    EXPECT_EQ(shortcut.folder(), "");
    EXPECT_FALSE(shortcut.StartupShortcutExists("Tarvex"));
    EXPECT_FALSE(shortcut.SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_FALSE(shortcut.SetStartupShortcut("Tarvex", "moravel", false));
    EXPECT_TRUE(m_errors.empty());
    EXPECT_FALSE(fs::exists("Tarvex.desktop"));
}

TEST_F(AutostartFolderTest, TheEntryGoesIntoTheFolderFromTheEnvironment) {
    setVariable("XDG_CONFIG_HOME", m_root.string());
    setVariable("HOME", "/nonexistent-home");
    ASSERT_TRUE(fromEnvironment().SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_TRUE(fs::exists(m_root / "autostart" / "Tarvex.desktop"));

    setVariable("XDG_CONFIG_HOME", std::nullopt);
    setVariable("HOME", m_root.string());
    EXPECT_FALSE(fromEnvironment().StartupShortcutExists("Tarvex"));
    ASSERT_TRUE(fromEnvironment().SetStartupShortcut("Tarvex", "moravel", true));
    EXPECT_TRUE(fs::exists(m_root / ".config" / "autostart" / "Tarvex.desktop"));
}

TEST_F(AutostartFolderTest, AGivenFolderWinsOverTheEnvironment) {
    setVariable("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(shortcutIn(m_root / "mine").folder(), (m_root / "mine").string());
}

} // namespace
} // namespace tarvex::shell
