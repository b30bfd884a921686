// The main window end to end: a real CSearchDlg against the local search service on an
// ephemeral port, settings in memory, a cache file in a temporary folder.
#include "gui/main_window/search_dlg.h"

#include "app/search_controller.h"
#include "app/service_pages.h"
#include "gui/widgets/accessible_events.h"
#include "gui/widgets/google_result_ctrl.h"
#include "res/commands.h"
#include "shell/brand_texts.h"
#include "shell/setting_names.h"
#include "support/scripted_server.h"
#include "support/search_answers.h"
#include "support/service_process.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace tarvex::app {
namespace {

using test::byName;

class SearchDlgTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_service = std::make_unique<test::ServiceProcess>(
            TARVEX_SERVICE_BINARY, std::vector<std::string>{"--corpus", TARVEX_BUNDLED_CORPUS});
    }
    static void TearDownTestSuite() { s_service.reset(); }

    void SetUp() override {
        ASSERT_FALSE(s_service->endpoint().empty()) << s_service->errorOutput();
        m_folder = std::filesystem::path{testing::TempDir()} /
                   ("search_dlg_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        // The default cache file lands in the test's own folder.
        setenv("XDG_DATA_HOME", (m_folder / "data").c_str(), 1);
        m_cacheFile =
            (m_folder / "data" / "Brenmoor Technologies" / "dunsk" / "quorlan.glr").string();
    }
    void TearDown() override {
        m_window.reset();
        unsetenv("XDG_DATA_HOME");
        std::filesystem::remove_all(m_folder);
    }

    CSearchDlg& open(const std::string& endpoint = s_service->endpoint()) {
        m_window = std::make_unique<CSearchDlg>(SearchDlgServices{
            m_settings, m_clock, m_opener, m_messages, endpoint, "dunsk", {}, {}});
        m_window->show();
        return *m_window;
    }

    QComboBox& queryWord() { return *byName<QComboBox>(*m_window, "Query Word"); }
    QLineEdit& licenceKey() { return *byName<QLineEdit>(*m_window, "License Key"); }
    QPushButton& button(const QString& caption) { return *byName<QPushButton>(*m_window, caption); }
    QLabel& described(const QString& description) {
        for (QLabel* label : m_window->findChildren<QLabel*>()) {
            if (label->accessibleDescription() == description) {
                return *label;
            }
        }
        throw std::runtime_error("no label described as " + description.toStdString());
    }
    ui::CGoogleResultCtrl& results() {
        return *byName<ui::CGoogleResultCtrl>(*m_window, "Results");
    }

    // Types the query and presses Search, then waits until the window is idle again.
    void search(const QString& word, const QString& key = "key") {
        licenceKey().setText(key);
        queryWord().setEditText(word);
        QTest::mouseClick(&button("Search"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window->searching(); }, 30000));
        QCoreApplication::processEvents();
    }

    std::string clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }
    int requestsLogged() {
        const std::string log = s_service->errorOutput();
        int count = 0;
        for (std::size_t at = log.find("POST /search/beta2"); at != std::string::npos;
             at = log.find("POST /search/beta2", at + 1)) {
            ++count;
        }
        return count;
    }

    static std::unique_ptr<test::ServiceProcess> s_service;
    shell::MemorySettingsStore m_settings;
    test::FixedClock m_clock;
    test::RecordingOpener m_opener;
    test::RecordingMessages m_messages;
    std::filesystem::path m_folder;
    std::string m_cacheFile;
    std::unique_ptr<CSearchDlg> m_window;
};

std::unique_ptr<test::ServiceProcess> SearchDlgTest::s_service;

TEST_F(SearchDlgTest, StartsFromTheSettings) {
    m_settings.putString("Settings", "License Key", "stored-key");
    m_settings.putInt("Settings", "Search Count", 7);
    m_settings.putInt("Search Words", "Count", 2);
    m_settings.putString("Search Words", "1", "lisp");
    m_settings.putString("Search Words", "2", "unix");
    CSearchDlg& window = open();
    EXPECT_EQ(licenceKey().text(), "stored-key");
    EXPECT_EQ(licenceKey().echoMode(), QLineEdit::Password);
    EXPECT_EQ(described("Search #").text(), "7");
    // The strings start empty: no template placeholder ("Static", "*") shows.
    EXPECT_EQ(described("Status").text(), "");
    EXPECT_EQ(described("Result #").text(), "");
    EXPECT_EQ(described("Searched at").text(), "");
    ASSERT_EQ(queryWord().count(), 2);
    EXPECT_EQ(queryWord().itemText(0), "lisp");
    EXPECT_TRUE(window.windowTitle().startsWith(QString::fromStdString(shell::ProductName())));
    EXPECT_TRUE(window.windowTitle().endsWith("]"));
    EXPECT_EQ(results().itemCount(), 0);
    // The link label points at the licence-key page on the endpoint's origin.
    auto* link = byName<QLabel>(window, "[obtained from Google]");
    ASSERT_NE(link, nullptr);
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(m_opener.opened.size(), 1U);
    EXPECT_EQ(m_opener.opened[0], endpointOrigin(s_service->endpoint()) + "/apis");
}

TEST_F(SearchDlgTest, TheStoredSpreadSheetModeIsShownAndAScreenReaderCanToggleIt) {
    m_settings.putInt("Settings", "Spread Sheet Mode", 1);
    open();
    auto& box = *byName<QCheckBox>(*m_window, "Spread Sheet Mode");
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(results().spreadSheetMode());
    test::toggleAccessibly(box);
    EXPECT_FALSE(box.isChecked());
    EXPECT_FALSE(results().spreadSheetMode()) << "the command ran on the accessible toggle";
    EXPECT_EQ(m_settings.getInt("Settings", "Spread Sheet Mode", 1), 0);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_TRUE(results().spreadSheetMode());
    EXPECT_EQ(m_settings.getInt("Settings", "Spread Sheet Mode", 0), 1);
}

TEST_F(SearchDlgTest, ASearchShowsBusyIsAnnouncedAndNothingFoundLeavesNoProgressText) {
    open();
    std::vector<QString> announced;
    ui::watchAccessibleEvents([&announced](const QAccessibleEvent& event) {
        auto* label = qobject_cast<QLabel*>(event.object());
        if (label != nullptr && event.type() == QAccessible::NameChanged &&
            label->accessibleDescription() == "Status") {
            announced.push_back(label->text());
        }
    });
    licenceKey().setText("key");
    queryWord().setEditText("qxzvqxzv");
    QTest::mouseClick(&button("Search"), Qt::LeftButton);
    EXPECT_EQ(results().cursor().shape(), Qt::BusyCursor);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window->searching(); }, 30000));
    QCoreApplication::processEvents();
    ui::watchAccessibleEvents({});
    EXPECT_EQ(results().cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(results().itemCount(), 0);
    EXPECT_EQ(described("Status").text(), "") << "nothing found: the progress text goes";
    EXPECT_TRUE(button("Search").isEnabled());
    EXPECT_EQ(announced, (std::vector<QString>{"Search in progress...", ""}));
}

TEST_F(SearchDlgTest, AKeyLongerThanAnyKeyIsNotShown) {
    // Megabytes of key in a damaged settings file took the start seconds of text layout.
    m_settings.putString("Settings", "License Key",
                         std::string(shell::kMaxFieldTextBytes + 1, 'k'));
    open();
    EXPECT_EQ(licenceKey().text(), "");
}

TEST_F(SearchDlgTest, ThirtyResultsInThreeRequestsThenACacheHit) {
    m_settings.putInt("Settings", "Maximum Results", 30);
    open();
    const int before = requestsLogged();
    search("computing");
    EXPECT_EQ(requestsLogged() - before, 3);
    EXPECT_EQ(results().itemCount(), 30);
    EXPECT_EQ(described("Search #").text(), "3");
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 3);
    EXPECT_EQ(described("Status").text(),
              "Double click on an entry to open it in browser. Right click for more options.");
    EXPECT_GE(described("Result #").text().toInt(), 30);
    EXPECT_NE(described("Searched at").text(), "*");
    EXPECT_NE(described("Searched at").text(), "Unknown");
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "key");
    EXPECT_TRUE(button("Search").isEnabled());

    // The same word again is answered from the cache: no request, the counter unchanged.
    results().setItemCount(0);
    search("computing", "other-key");
    EXPECT_EQ(requestsLogged() - before, 3);
    EXPECT_EQ(results().itemCount(), 30);
    EXPECT_EQ(described("Search #").text(), "3");
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "other-key");
}

TEST_F(SearchDlgTest, AFailedRequestShowsOnlyError) {
    open(test::ScriptedServer{{}}.url());
    search("unreachable");
    auto* error = byName<QLabel>(*m_window, "Error!");
    ASSERT_NE(error, nullptr) << "the status says Error!";
    const QLabel& status = *error;
    EXPECT_FALSE(status.toolTip().isEmpty()) << "why, a tool tip away";
    EXPECT_EQ(status.accessibleDescription(), status.toolTip()) << "and said by screen readers";
    EXPECT_TRUE(button("Search").isEnabled());
    EXPECT_EQ(results().itemCount(), 0);
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 0);
    EXPECT_TRUE(m_messages.texts.empty());
}

TEST_F(SearchDlgTest, ATrustFileThatDoesNotLoadIsTheErrorsReason) {
    // The window dropped such a file and searched trusting the system's store alone.
    m_settings.putString("Settings", "Trust File", "/nonexistent/own-ca.pem");
    open();
    const int requestsBefore = requestsLogged();
    search("unix");
    auto* error = byName<QLabel>(*m_window, "Error!");
    ASSERT_NE(error, nullptr) << "the status says Error!";
    const QLabel& status = *error;
    EXPECT_NE(status.toolTip().indexOf("/nonexistent/own-ca.pem"), -1)
        << status.toolTip().toStdString();
    EXPECT_EQ(requestsLogged(), requestsBefore);
}

TEST_F(SearchDlgTest, EnterInTheQueryWordSearches) {
    open();
    licenceKey().setText("key");
    queryWord().setFocus();
    queryWord().setEditText("unix");
    QTest::keyClick(queryWord().lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window->searching(); }, 30000));
    QCoreApplication::processEvents();
    EXPECT_GT(results().itemCount(), 0);
    EXPECT_EQ(queryWord().count(), 1) << "the word went into the history once";
}

TEST_F(SearchDlgTest, NoLicenceKeyAsksForOne) {
    open();
    search("lisp", "");
    ASSERT_EQ(m_messages.texts.size(), 1U);
    EXPECT_EQ(m_messages.texts[0], kNoLicenceKeyMessage);
    EXPECT_FALSE(m_settings.has("Settings", "License Key"));
}

TEST_F(SearchDlgTest, ResetWritesZeroAndShowsWhatIsStored) {
    m_settings.putInt("Settings", "Search Count", 12);
    open();
    QTest::mouseClick(&button("Reset"), Qt::LeftButton);
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", -1), 0);
    EXPECT_EQ(described("Search #").text(), "0");
}

TEST_F(SearchDlgTest, SpreadSheetModeKeepsTheRowsAndChangesTheLayout) {
    open();
    search("lisp");
    const int rows = results().itemCount();
    ASSERT_GT(rows, 0);
    EXPECT_EQ(results().itemHeight(), 104);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(2), 0);

    QTest::mouseClick(byName<QCheckBox>(*m_window, "Spread Sheet Mode"), Qt::LeftButton);
    const int width = results().viewport()->width();
    EXPECT_EQ(m_settings.getInt("Settings", "Spread Sheet Mode", 0), 1);
    EXPECT_EQ(results().itemCount(), rows);
    EXPECT_EQ(results().itemHeight(), 20);
    EXPECT_EQ(results().rowHeight(0), 20);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(0), 38);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(1), (2 * width - 80) / 3);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(2), width);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(3), width);

    QTest::mouseClick(byName<QCheckBox>(*m_window, "Spread Sheet Mode"), Qt::LeftButton);
    EXPECT_EQ(m_settings.getInt("Settings", "Spread Sheet Mode", 1), 0);
    EXPECT_EQ(results().itemCount(), rows);
    EXPECT_EQ(results().rowHeight(0), 104);
    EXPECT_EQ(results().horizontalHeader()->sectionSize(1), width - 40);
}

// Two cached results with known texts, shown through a cache hit.
class CopyTest : public SearchDlgTest {
protected:
    void SetUp() override {
        SearchDlgTest::SetUp();
        open(test::ScriptedServer{{}}.url());
        cache::SearchResultSet set;
        set.queryWord = "pair";
        set.estimatedTotal = 2;
        set.urls = {"http://a.example/", "http://b.example/x?y=1&amp;z=2"};
        set.titles = {"A <b>pair</b>", "B &amp; C"};
        set.summaries = {"sum A", ""};
        set.snippets = {"snip <b>A</b>", "snip B"};
        set.categoryNames = {"Cat A", ""};
        set.directoryTitles = {"Dir A", ""};
        set.searchedAt = m_clock.now();
        m_window->resultCache().Store("pair", set);
        search("pair");
        ASSERT_EQ(results().itemCount(), 2);
        QGuiApplication::clipboard()->setText("before");
    }
    void command(int id) { m_window->onCommand(id); }
    void select(std::initializer_list<int> rows) {
        results().clearSelection();
        for (const int row : rows) {
            results().selectionModel()->select(results().model()->index(row, 0),
                                               QItemSelectionModel::Select |
                                                   QItemSelectionModel::Rows);
        }
    }
    void spreadSheet() {
        QTest::mouseClick(byName<QCheckBox>(*m_window, "Spread Sheet Mode"), Qt::LeftButton);
    }

    const std::string kRowA =
        "http://a.example/\r\nA <b>pair</b>\r\nsnip <b>A</b>\r\nsum A\r\nDir A (Cat A)";
    const std::string kRowB = "http://b.example/x?y=1&z=2\r\nB & C\r\nsnip B\r\n\r\n ";
};

TEST_F(CopyTest, NormalMode) {
    command(res::kCmdFullTable);
    EXPECT_EQ(clipboard(),
              kRowA + "\tA <b>pair</b>\tsnip <b>A</b>\t\r\n" + kRowB + "\tB &amp; C\tsnip B\t\r\n");
    select({1});
    command(res::kCmdSelectedRows);
    EXPECT_EQ(clipboard(), kRowB + "\tB &amp; C\tsnip B\t\r\n");
    command(res::kCmdAllUrls);
    EXPECT_EQ(clipboard(), "http://a.example/\r\nhttp://b.example/x?y=1&amp;z=2\r\n");
    command(res::kCmdSelectedUrls);
    EXPECT_EQ(clipboard(), "http://b.example/x?y=1&amp;z=2\r\n");
}

TEST_F(CopyTest, SpreadSheetMode) {
    spreadSheet();
    command(res::kCmdFullTable);
    EXPECT_EQ(clipboard(), "http://a.example/\tA <b>pair</b>\tsnip <b>A</b>\t\r\n"
                           "http://b.example/x?y=1&amp;z=2\tB &amp; C\tsnip B\t\r\n");
    select({0});
    command(res::kCmdSelectedRows);
    EXPECT_EQ(clipboard(), "http://a.example/\tA <b>pair</b>\tsnip <b>A</b>\t\r\n");
    command(res::kCmdSelectedUrls);
    EXPECT_EQ(clipboard(), "http://a.example/\r\n");
}

TEST_F(CopyTest, NothingSelected) {
    results().clearSelection();
    command(res::kCmdSelectedRows);
    EXPECT_EQ(clipboard(), "before") << "an empty text leaves the clipboard alone";
    command(res::kCmdSelectedUrls);
    EXPECT_EQ(clipboard(), "") << "Selected URLs puts even an empty text there";
}

TEST_F(CopyTest, BrowseOpensTheLastSelectedResult) {
    select({0, 1});
    command(res::kCmdBrowse);
    ASSERT_EQ(m_opener.opened.size(), 1U);
    EXPECT_EQ(m_opener.opened[0], "http://b.example/x?y=1&z=2");
    results().clearSelection();
    command(res::kCmdBrowse);
    EXPECT_EQ(m_opener.opened.size(), 1U) << "nothing selected, nothing opened";
}

TEST_F(CopyTest, ADoubleClickBrowses) {
    const QRect row = results().visualRect(results().model()->index(0, 1));
    QTest::mouseClick(results().viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(results().viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_opener.opened.empty(); }, 2000));
    EXPECT_EQ(m_opener.opened[0], "http://a.example/");
}

TEST_F(SearchDlgTest, BrowseRefusesAddressesThatAreNotWebPages) {
    open(test::ScriptedServer{{}}.url());
    cache::SearchResultSet set;
    set.urls = {"file:///etc/passwd"};
    set.titles = set.summaries = set.snippets = set.categoryNames = set.directoryTitles = {""};
    m_window->resultCache().Store("local", set);
    search("local");
    results().selectRow(0);
    m_window->onCommand(res::kCmdBrowse);
    EXPECT_TRUE(m_opener.opened.empty());
}

TEST_F(SearchDlgTest, SearchInBrowserOnTheEndpointsOrigin) {
    open();
    queryWord().setEditText("");
    QTest::mouseClick(&button("Search in Browser"), Qt::LeftButton);
    EXPECT_TRUE(m_opener.opened.empty()) << "an empty query word opens nothing";
    queryWord().setEditText("two words");
    QTest::mouseClick(&button("Search in Browser"), Qt::LeftButton);
    ASSERT_EQ(m_opener.opened.size(), 1U);
    EXPECT_EQ(m_opener.opened[0],
              endpointOrigin(s_service->endpoint()) +
                  "/search?q=two words&meta=lr%3D%26hl%3Den&btnG=Google+Search");
}

TEST_F(SearchDlgTest, HelpAndMoreToolsOpenTheServicesPages) {
    open();
    QTest::mouseClick(&button("Help?"), Qt::LeftButton);
    QTest::mouseClick(&button("More Tools..."), Qt::LeftButton);
    const std::string origin = endpointOrigin(s_service->endpoint());
    EXPECT_EQ(m_opener.opened,
              (std::vector<std::string>{addressOnOrigin(origin, shell::helpAddress()),
                                        addressOnOrigin(origin, shell::moreToolsAddress())}));
    for (const std::string& address : m_opener.opened) {
        EXPECT_EQ(address.rfind(origin + "/", 0), 0U) << address;
    }
}

TEST_F(SearchDlgTest, CloseStoresTheKeyAndEscapeDoesNot) {
    open();
    licenceKey().setText("closed-with-close");
    QTest::mouseClick(&button("Close"), Qt::LeftButton);
    EXPECT_EQ(m_window->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "closed-with-close");

    open();
    licenceKey().setText("closed-with-escape");
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_EQ(m_window->result(), QDialog::Rejected);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "closed-with-close");
}

TEST_F(SearchDlgTest, HistoryPutsTheLatestWordFirst) {
    open();
    search("lisp");
    search("unix");
    search("LISP");
    ASSERT_EQ(queryWord().count(), 2);
    EXPECT_EQ(queryWord().itemText(0), "LISP");
    EXPECT_EQ(queryWord().itemText(1), "unix");
    EXPECT_EQ(m_settings.getString("Search Words", "1", ""), "LISP");
    EXPECT_EQ(m_settings.getInt("Search Words", "Count", 0), 2);
}

TEST_F(SearchDlgTest, TheCacheIsSavedAtCloseAndLoadedAtTheNextStart) {
    open();
    search("teletype");
    const int shown = results().itemCount();
    ASSERT_GT(shown, 0);
    m_window.reset();
    ASSERT_TRUE(std::filesystem::exists(m_cacheFile));

    // The next run cannot reach any service: the rows come from the file.
    open(test::ScriptedServer{{}}.url());
    search("teletype");
    EXPECT_EQ(results().itemCount(), shown);
    EXPECT_NE(described("Status").text(), "Error!");
}

TEST_F(SearchDlgTest, WithoutACachePathTheDefaultFileIsWrittenAndRemembered) {
    open();
    m_window.reset();
    EXPECT_EQ(m_settings.getString("Settings", "Cache Path", ""), m_cacheFile);
    EXPECT_TRUE(std::filesystem::exists(m_cacheFile));
}

TEST_F(SearchDlgTest, ADamagedCacheFileIsReported) {
    const std::string damaged = (m_folder / "damaged.glr").string();
    m_settings.putString("Settings", "Cache Path", damaged);
    {
        std::FILE* file = std::fopen(damaged.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("not a cache file at all", file);
        std::fclose(file);
    }
    open();
    ASSERT_FALSE(m_messages.texts.empty());
    EXPECT_NE(m_messages.texts[0].find("damaged.glr"), std::string::npos) << m_messages.texts[0];
}

TEST_F(SearchDlgTest, AMissingCacheFileIsForgottenQuietly) {
    m_settings.putString("Settings", "Cache Path", (m_folder / "missing.glr").string());
    open();
    EXPECT_TRUE(m_messages.texts.empty());
    EXPECT_EQ(m_settings.getString("Settings", "Cache Path", "?"), "");
}

// Regression: the worker wrote into the window's record through a raw pointer, so closing the
// window during a request was undefined behaviour.
TEST_F(SearchDlgTest, ClosingTheWindowDuringASlowRequest) {
    test::ScriptedServer slow{{test::ScriptedServer::Answer{
        {test::ScriptedServer::Piece{test::searchAnswer(0, 10), std::chrono::milliseconds{700}}},
        true}}};
    open(slow.url());
    licenceKey().setText("key");
    queryWord().setEditText("slow");
    QTest::mouseClick(&button("Search"), Qt::LeftButton);
    ASSERT_TRUE(m_window->searching());
    m_window.reset();
    // The answer arrives after the window has gone; its end must reach nobody.
    ASSERT_TRUE(QTest::qWaitFor([&slow] { return !slow.requests().empty(); }, 5000));
    QTest::qWait(1200);
    QCoreApplication::processEvents();
    // Delivered, it would have put the word into the history that the settings outlive.
    EXPECT_EQ(m_settings.getString("Search Words", "1", "none"), "none");
    EXPECT_EQ(m_settings.getInt("Search Words", "Count", 0), 0);
}

} // namespace
} // namespace tarvex::app
